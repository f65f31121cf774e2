#!/usr/bin/env bash
# Builds the core, the plugins and their tests with AddressSanitizer and
# UndefinedBehaviorSanitizer (clang), and runs those tests.
set -euo pipefail
cd "$(dirname "$0")/.."
REELCARD_WITH_CHECK_TOOLS=1 bash scripts/install-deps.sh
build="${REELCARD_SANITIZE_BUILD_DIR:-build-asan}"
if [ ! -f "$build/build.ninja" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DREELCARD_SANITIZE=ON -DREELCARD_BUILD_UI=OFF
fi
ninja -C "$build"
# Leak checking stays off: Qt and fontconfig keep caches for the life of the process.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
