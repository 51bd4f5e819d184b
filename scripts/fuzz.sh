#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/, clang with AddressSanitizer and
# UndefinedBehaviorSanitizer, in build-fuzz/) and runs each in turn on a scratch copy
# of its seed corpus, so that nothing found is written into the repository. Prints the
# executions of every target and ends non-zero when one crashed, leaked, hung or hit a
# sanitizer report; the input that did it is kept and its path printed.
# Without --only it also builds every program and library there: this clang build is
# the one that checks the lock annotations (-Wthread-safety, platform/annotated_mutex.h).
#
#   scripts/fuzz.sh                     # CI: 25 seconds per target
#   scripts/fuzz.sh --seconds 600       # the longer run: 10 minutes per target
#   scripts/fuzz.sh --runs 1000000      # until 1,000,000 executions per target
#   scripts/fuzz.sh --only request ...  # one target (settings, animation, fault_plan, frame_ring, request, answer)
#
# --seconds and --runs together stop a target at whichever comes first.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=""
runs=""
only=""
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    *) echo "usage: $0 [--seconds N] [--runs N] [--only TARGET]" >&2; exit 2 ;;
  esac
done
if [ -z "$seconds" ] && [ -z "$runs" ]; then seconds=25; fi

./scripts/install-deps.sh

targets=(settings animation fault_plan frame_ring request answer)
if [ -n "$only" ]; then targets=("$only"); fi

build=build-fuzz
cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHVX_FUZZ=ON >/dev/null
names=()
for t in "${targets[@]}"; do names+=("${t}_fuzzer"); done
if [ -z "$only" ]; then
  names+=(hvxserver ornactl immtool videoservice hvxview
          orna_bench server_bench frames_bench restart_soak viewer_bench)
fi
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target "${names[@]}"

# Memory-backed where the machine has it: the settings and animation targets write
# every input into a file. The targets make their own files below it too.
base=${TMPDIR:-/tmp}
if [ -d /dev/shm ] && [ -w /dev/shm ]; then base=/dev/shm; fi
scratch=$(mktemp -d "$base/hvx-fuzz-run-XXXXXX")
export TMPDIR="$scratch"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

limits=(-timeout=10 -print_final_stats=1)
[ -n "$seconds" ] && limits+=("-max_total_time=$seconds")
[ -n "$runs" ] && limits+=("-runs=$runs")

failed=0
summary=()
for t in "${targets[@]}"; do
  corpus="$scratch/$t/corpus"
  mkdir -p "$corpus" "$scratch/$t/artifacts"
  cp fuzz/corpus/"$t"/* "$corpus"/
  extra=()
  # The request target's server frees much of an input's memory on its own threads
  # after the input has ended, so libFuzzer would scan the whole heap for leaks after
  # nearly every input (a hundred times slower): it runs without that check, and its
  # whole corpus is then run once more with it, input by input.
  if [ "$t" = request ]; then extra=(-detect_leaks=0); fi
  log="$scratch/$t/log"
  echo "== $t"
  status=0
  "$build/fuzz/${t}_fuzzer" "${limits[@]}" "${extra[@]}" \
    -artifact_prefix="$scratch/$t/artifacts/" "$corpus" >"$log" 2>&1 || status=$?
  if [ $status -eq 0 ] && [ "$t" = request ]; then
    "$build/fuzz/${t}_fuzzer" -runs=0 -timeout=10 -artifact_prefix="$scratch/$t/artifacts/" \
      "$corpus" >>"$log" 2>&1 || status=$?
  fi
  executions=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | head -1 | grep -o '[0-9]*$' || true)
  line="$t: ${executions:-?} executions, corpus $(ls "$corpus" | wc -l) inputs"
  if [ $status -ne 0 ]; then
    failed=1
    line="$line, FAILED (exit $status)"
    grep -E 'ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -20 || true
    echo "   log: $log"
  fi
  summary+=("$line")
  echo "$line"
done

echo "== fuzzing summary"
printf '%s\n' "${summary[@]}"
if [ $failed -ne 0 ]; then
  echo "fuzzing found faults; inputs and logs are kept in $scratch"
  exit 1
fi
rm -rf "$scratch"
