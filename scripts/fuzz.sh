#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan + UBSan) and runs them.
#
#   scripts/fuzz.sh build              build the targets only
#   scripts/fuzz.sh replay             run every committed corpus and regression file once
#   scripts/fuzz.sh ci [SECONDS]       replay, then fuzz each target for SECONDS (40)
#   scripts/fuzz.sh run TARGET [SECONDS] [JOBS]
#                                      a longer session of one target (default one hour,
#                                      one job); the grown corpus stays in the build folder
#   scripts/fuzz.sh seeds              rewrite fuzz/corpus from the targets' seed mode
#
# Targets: liner format liner_round_trip older_version bmp tga png jpg pcx webp playlist cue xspf music_answers.
# A crash leaves its input in <build>/artifacts; put it into
# tests/data/regressions/<target>/ so that ctest replays it from then on.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${REELCARD_FUZZ_BUILD_DIR:-build-fuzz}"
targets=(liner format liner_round_trip older_version bmp tga png jpg pcx webp playlist cue xspf music_answers)
export QT_QPA_PLATFORM=offscreen
# Leaks are looked for too: the readers run without Qt's caches.  The round
# trip and the readers must never abort, time out or run out of memory.
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/fuzz/lsan-suppressions.txt}"

# The round trip starts from the liner reader's seeds.
corpus_of() {
  case "$1" in
    liner_round_trip) echo fuzz/corpus/liner ;;
    *) echo "fuzz/corpus/$1" ;;
  esac
}

build_targets() {
  REELCARD_WITH_CHECK_TOOLS=1 bash scripts/install-deps.sh
  if [ ! -f "$build/build.ninja" ]; then
    CC=clang-14 CXX=clang++-14 cmake -S fuzz -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  ninja -C "$build"
}

# Every committed input once, through the target's own checks.
replay() {
  local t status=0
  for t in "${targets[@]}"; do
    local inputs=()
    mapfile -t inputs < <(find "$(corpus_of "$t")" "tests/data/regressions/$t" -type f 2>/dev/null | sort)
    [ ${#inputs[@]} -eq 0 ] && continue
    if "$build/${t}_fuzzer" -runs=1 "${inputs[@]}" >"$build/replay-$t.log" 2>&1; then
      echo "replay $t: ${#inputs[@]} inputs ok"
    else
      echo "replay $t: FAILED (see $build/replay-$t.log)"; tail -40 "$build/replay-$t.log"; status=1
    fi
  done
  return $status
}

# One target for a number of seconds, starting from the committed inputs;
# what it adds goes to a scratch corpus, not into the repository.
fuzz_one() {
  local t="$1" seconds="$2" jobs="${3:-1}"
  local work="$build/corpus/$t"
  mkdir -p "$work" "$build/artifacts"
  local extra=()
  [ -d "tests/data/regressions/$t" ] && extra+=("tests/data/regressions/$t")
  local args=(-max_total_time="$seconds" -dict=fuzz/reelcard.dict -timeout=10 -rss_limit_mb=2048
              -artifact_prefix="$build/artifacts/$t-" -print_final_stats=1)
  if [ "$jobs" -gt 1 ]; then args+=(-fork="$jobs"); fi
  if "$build/${t}_fuzzer" "${args[@]}" "$work" "$(corpus_of "$t")" "${extra[@]}" >"$build/fuzz-$t.log" 2>&1; then
    local runs speed
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/fuzz-$t.log" | tail -1)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$build/fuzz-$t.log" | tail -1)
    if [ -n "$runs" ]; then
      echo "fuzz $t: ${seconds}s, $runs executions, $speed/s, no crash"
    else
      # With several jobs only the progress lines tell the counts.
      echo "fuzz $t: ${seconds}s, $jobs jobs, no crash; last: $(grep 'exec/s' "$build/fuzz-$t.log" | tail -1)"
    fi
  else
    echo "fuzz $t: FAILED (see $build/fuzz-$t.log; inputs in $build/artifacts)"
    grep -E "ERROR|SUMMARY|Test unit written" "$build/fuzz-$t.log" | head -10
    return 1
  fi
}

case "${1:-ci}" in
  build) build_targets ;;
  replay) build_targets; replay ;;
  ci)
    seconds="${2:-40}"
    build_targets
    status=0
    # The kept inputs must all pass.  What a short exploratory run newly finds
    # is reported loudly with its input, and fails the run only with
    # REELCARD_FUZZ_STRICT=1: a chance finding must not hold back unrelated
    # work; it becomes a regression input once it is fixed.
    replay || status=1
    # One target per core at a time: each still gets its full SECONDS of a
    # core, and the stage takes half as long on two cores.
    findings=0
    jobs=$(nproc)
    pids=()
    for t in "${targets[@]}"; do
      fuzz_one "$t" "$seconds" >"$build/ci-$t.out" &
      pids+=($!)
      if [ ${#pids[@]} -ge "$jobs" ]; then
        wait "${pids[0]}" || findings=1
        pids=("${pids[@]:1}")
      fi
    done
    for p in "${pids[@]}"; do wait "$p" || findings=1; done
    for t in "${targets[@]}"; do cat "$build/ci-$t.out"; done
    if [ $findings -ne 0 ]; then
      echo "NEW FUZZ FINDING: see the FAILED lines above; the inputs are in $build/artifacts" >&2
      [ "${REELCARD_FUZZ_STRICT:-0}" = 1 ] && status=1
    fi
    exit $status
    ;;
  run)
    [ $# -ge 2 ] || { echo "usage: $0 run TARGET [SECONDS] [JOBS]" >&2; exit 2; }
    build_targets
    fuzz_one "$2" "${3:-3600}" "${4:-1}"
    ;;
  seeds)
    build_targets
    for t in "${targets[@]}"; do
      [ "$t" = liner_round_trip ] && continue
      rm -rf "fuzz/corpus/$t" && mkdir -p "fuzz/corpus/$t"
      REELCARD_FUZZ_SEEDS="fuzz/corpus/$t" "$build/${t}_fuzzer"
    done
    ;;
  *) echo "usage: $0 build|replay|ci [SECONDS]|run TARGET [SECONDS] [JOBS]|seeds" >&2; exit 2 ;;
esac
