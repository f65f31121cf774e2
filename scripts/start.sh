#!/usr/bin/env bash
# Installs what is missing, builds, and starts Reelcard.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
build="${REELCARD_BUILD_DIR:-build}"
if [ -x "$build/bin/reelcard" ]; then
  exec "$build/bin/reelcard" "$@"
fi
# The program's window is not built yet: show what the command-line companion
# makes of a bundled sample instead.
sample="$build/bin/samples/mixtape.cas"
[ -f "$sample" ] || sample="tests/data/sample-507.json"
echo "The Reelcard window is not part of this build yet; running reelcard-cli on $sample instead."
if [ "${sample##*.}" = json ]; then
  "$build/bin/reelcard-cli" import "$sample" -o "$build/sample.cas"
  sample="$build/sample.cas"
fi
exec "$build/bin/reelcard-cli" export "$sample"
