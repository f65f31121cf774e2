#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Reelcard need.
# Runs apt-get only when something is missing; uses sudo when not root.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-svg-dev libgl-dev
  libtag1-dev libcue-dev flac libdiscid-dev
  libpng-dev zlib1g-dev libjpeg62-turbo-dev libwebp-dev
  # PDF boxes for print shops.
  libqpdf-dev
  libgtest-dev libgmock-dev libbenchmark-dev libstb-dev
  fonts-liberation fonts-dejavu-core poppler-utils
  libcups2-dev
  # The printing tests run a private print scheduler with a PDF queue.
  cups printer-driver-cups-pdf
)
if [ "${REELCARD_WITH_CHECK_TOOLS:-0}" = 1 ]; then
  packages+=(clang-14 libclang-rt-14-dev)
fi
# The checks of the installed program and its package (scripts/check-install.sh).
if [ "${REELCARD_WITH_INSTALL_CHECKS:-0}" = 1 ]; then
  packages+=(dpkg-dev fakeroot desktop-file-utils appstream shared-mime-info xdg-utils libfile-mimeinfo-perl
             xvfb xauth xdotool)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
