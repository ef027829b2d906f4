#!/usr/bin/env bash
# Builds every configuration CI needs and runs all tests:
#   asan    - debug build with AddressSanitizer and UndefinedBehaviorSanitizer (all tests)
#   tsan    - ThreadSanitizer build of the concurrency tests
#   release - optimised build, all tests (the numbers users get)
#   windows - the Windows cross build, its tests under Wine (after release:
#             its audio is compared with the Linux module's)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
passed=0
failed=0

run_preset() {
  local preset=$1
  echo "=== ${preset}: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== ${preset}: test"
  local log
  log=$(mktemp)
  set +e
  ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  set -e
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  rm -f "$log"
  if [[ -z $line ]]; then
    echo "ctest for ${preset} printed no summary" >&2
    exit 1
  fi
  local total bad
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  if ((rc != 0)); then
    echo "Tests failed in the ${preset} build." >&2
    echo "Total: ${passed} passed, ${failed} failed"
    exit 1
  fi
}

stop_wine() {
  if [[ -x /usr/lib/wine/wineserver && -d build/windows/wineprefix ]]; then
    WINEPREFIX=$PWD/build/windows/wineprefix /usr/lib/wine/wineserver -k 2>/dev/null || true
  fi
}
trap stop_wine EXIT

for preset in asan tsan release windows; do
  run_preset "$preset"
done

echo "Total: ${passed} passed, ${failed} failed"
