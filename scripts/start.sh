#!/usr/bin/env bash
# Installs what is missing, builds, and starts Reelcard.  With no file named
# it opens the bundled mixtape sample, so there is something to look at.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
build="${REELCARD_BUILD_DIR:-build}"
if [ $# -eq 0 ] && [ -f "$build/bin/samples/mixtape.cas" ]; then
  set -- "$build/bin/samples/mixtape.cas"
fi
exec "$build/bin/reelcard" "$@"
