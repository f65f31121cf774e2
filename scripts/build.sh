#!/usr/bin/env bash
# Configures (once) and builds Reelcard with Ninja into build/ (or $REELCARD_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${REELCARD_BUILD_DIR:-build}"
if [ ! -f "$build/build.ninja" ]; then
  launcher=()
  # A compiler cache, when the machine has one, makes rebuilds of other
  # checkouts of the same sources cheap.
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@"
fi
cmake --build "$build" --parallel "$(nproc)"
