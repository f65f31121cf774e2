#!/usr/bin/env bash
# Redraws the program's PNG icons from resources/icons/reelcard.svg.  The PNGs
# are kept in the repository, so only a changed drawing needs this (Debian:
# apt-get install librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../resources/icons"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" reelcard.svg -o "reelcard-$size.png"
done
