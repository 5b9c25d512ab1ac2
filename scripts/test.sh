#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite through CTest.
#   scripts/test.sh         the suite (a few minutes on a fresh machine, most of it the build)
#   scripts/test.sh --all   then the suite again under the sanitizers and a short fuzz run of
#                           each target; CI=true (as CI starts it) means the same
# Ends with one line "tests: N passed, M failed" for everything it ran.
set -euo pipefail
cd "$(dirname "$0")/.."
all=0
[ "${1:-}" = --all ] && all=1
[ "${CI:-}" = true ] && all=1
if [ $all = 1 ]; then bash scripts/deps.sh fuzz; else bash scripts/deps.sh; fi
bash scripts/build.sh

passed=0
failed=0
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# Adds a CTest run's counts from its summary line; a step that failed without one counts as a
# failed test, so nothing that went wrong can read as a pass.
count_ctest() { # <status> <log>
  local summary total bad
  summary=$(grep -E 'tests? failed out of [0-9]+' "$2" | tail -n 1 || true)
  if [ -z "$summary" ]; then
    [ "$1" -eq 0 ] || failed=$((failed + 1))
    return
  fi
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
  bad=$(sed -E 's/.*, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  # Counted clean, yet failed: the sanitizer pass's reports from programs a test started.
  if [ "$1" -ne 0 ] && [ "$bad" -eq 0 ]; then failed=$((failed + 1)); fi
}

status=0
# Three at once on two cores: the fault tests spend most of their time waiting out locks.
ctest --test-dir build --output-on-failure -j3 2>&1 | tee "$log" || status=$?
count_ctest "$status" "$log"

if [ $all = 1 ]; then
  status=0
  bash scripts/sanitize.sh 2>&1 | tee "$log" || status=$?
  count_ctest "$status" "$log"
  status=0
  bash scripts/fuzz.sh "${VC_FUZZ_SECONDS:-60}" 2>&1 | tee "$log" || status=$?
  clean=$(grep -c ', clean$' "$log" || true)
  found=$(grep -c ', FINDING' "$log" || true)
  passed=$((passed + clean))
  failed=$((failed + found))
  if [ "$status" -ne 0 ] && [ "$found" -eq 0 ]; then failed=$((failed + 1)); fi
fi

echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
