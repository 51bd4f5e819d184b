#!/usr/bin/env bash
# Builds HVX and runs the whole test suite three times: a normal build, a build with
# AddressSanitizer and UndefinedBehaviorSanitizer, and a ThreadSanitizer build; then
# the Windows build's tests under Wine (scripts/windows-test.sh). Installs what is
# missing first. A sanitizer report of any process a test starts fails that test.
# --quick runs the normal build only.
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
if [ "${1:-}" = "--quick" ]; then exit 0; fi
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build =="
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DHVX_SANITIZE=address

echo "== ThreadSanitizer build =="
TSAN_OPTIONS=halt_on_error=1 run_suite build-tsan -DCMAKE_BUILD_TYPE=Debug -DHVX_SANITIZE=thread

echo "== Windows build under Wine =="
./scripts/windows-test.sh
