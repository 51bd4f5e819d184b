#!/usr/bin/env bash
# Builds HVX and runs the whole test suite twice: a normal build, then a build with
# AddressSanitizer and UndefinedBehaviorSanitizer. Installs what is missing first.
# With --tsan it runs the suite a third time, in a ThreadSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

echo "== normal build =="
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build =="
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DHVX_SANITIZE=address

if [ "${1:-}" = "--tsan" ]; then
  echo "== ThreadSanitizer build =="
  TSAN_OPTIONS=halt_on_error=1 run_suite build-tsan -DCMAKE_BUILD_TYPE=Debug -DHVX_SANITIZE=thread
fi
