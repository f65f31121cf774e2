#!/usr/bin/env bash
# Configures (once) and builds Reelcard with Ninja into build/ (or $REELCARD_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${REELCARD_BUILD_DIR:-build}"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
fi
cmake --build "$build" --parallel "$(nproc)"
