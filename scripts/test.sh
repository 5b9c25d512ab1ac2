#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite through CTest.
#   scripts/test.sh             the suite (a few minutes on a fresh machine, most of it the build)
#   scripts/test.sh --repeat N  the suite N times over (stops at a test's first failure)
#   scripts/test.sh --all       then the suite again under the sanitizers and a short fuzz run of
#                               each target
# CI=true (as CI starts it) means --all, runs the window tests three times over, and fails on
# any skipped test not listed in tests/ci-skips.txt.
# Ends with one line "tests: N passed, M failed, K skipped", counting Qt Test functions (each
# data row on its own) and the other tests whole.
set -euo pipefail
cd "$(dirname "$0")/.."
all=0
repeat=1
while [ $# -gt 0 ]; do
  case "$1" in
    --all) all=1 ;;
    --repeat) repeat=${2:?--repeat takes a count}; shift ;;
    *) echo "test.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
ci=0
[ "${CI:-}" = true ] && { ci=1; all=1; }
if [ $all = 1 ]; then bash scripts/deps.sh fuzz; else bash scripts/deps.sh; fi
bash scripts/build.sh

passed=0
failed=0
skipped=0
log=$(mktemp)
skips=$(mktemp)
trap 'rm -f "$log" "$skips"' EXIT

# Adds up one CTest run from its output and the Qt Test logs its tests left in <build>/test-logs.
# A test that failed without a failed function in its log (a crash, a time-out, a sanitizer
# report) counts as one failure, and a step that failed without any counted failure as another,
# so nothing that went wrong can read as a pass.
count_run() { # <build dir> <status> <ctest log>
  local dir=$1 status=$2 out=$3 name result file totals p f s before=$failed
  while read -r name result; do
    file="$dir/test-logs/$name.txt"
    totals=$(grep -E '^Totals: ' "$file" 2>/dev/null | tail -n 1 || true)
    if [ -z "$totals" ]; then
      if [ "$result" = Passed ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
      continue
    fi
    read -r p f s < <(sed -E 's/^Totals: ([0-9]+) passed, ([0-9]+) failed, ([0-9]+) skipped.*/\1 \2 \3/' <<<"$totals")
    passed=$((passed + p))
    failed=$((failed + f))
    skipped=$((skipped + s))
    if [ "$result" != Passed ] && [ "$f" -eq 0 ]; then failed=$((failed + 1)); fi
    grep -E '^SKIP   : ' "$file" | sed -E "s/^SKIP   : //" >>"$skips" || true
  done < <(sed -nE 's/^ *[0-9]+\/[0-9]+ +Test +#[0-9]+: ([^ ]+) [. ]*(\**[A-Za-z]+).*/\1 \2/p' "$out" |
             awk '{ last[$1] = $2 } END { for (n in last) print n, last[n] }')
  if [ "$status" -ne 0 ] && [ "$failed" -eq "$before" ]; then failed=$((failed + 1)); fi
}

# Runs CTest in build/ with the given arguments and counts what it ran.
run_ctest() {
  local status=0
  rm -f build/test-logs/*.txt
  # Three at once on two cores: the fault tests spend most of their time waiting out locks.
  ctest --test-dir build --output-on-failure -j3 "$@" 2>&1 | tee "$log" || status=$?
  count_run build "$status" "$log"
}

if [ $ci = 1 ]; then
  # A race shows in a few runs rather than one: the window tests run three times over.
  run_ctest -LE window
  run_ctest -L window --repeat until-fail:3
elif [ "$repeat" -gt 1 ]; then
  run_ctest --repeat "until-fail:$repeat"
else
  run_ctest
fi

if [ $all = 1 ]; then
  status=0
  bash scripts/sanitize.sh 2>&1 | tee "$log" || status=$?
  count_run "${VC_ASAN_BUILD:-build-asan}" "$status" "$log"
  status=0
  bash scripts/fuzz.sh "${VC_FUZZ_SECONDS:-60}" 2>&1 | tee "$log" || status=$?
  clean=$(grep -c ', clean$' "$log" || true)
  found=$(grep -c ', FINDING' "$log" || true)
  passed=$((passed + clean))
  failed=$((failed + found))
  if [ "$status" -ne 0 ] && [ "$found" -eq 0 ]; then failed=$((failed + 1)); fi
fi

# Every skip is named; under CI a skip fails unless tests/ci-skips.txt lists it with its reason.
if [ -s "$skips" ]; then
  echo "Skipped:"
  sed 's/^/  /' "$skips"
  if [ $ci = 1 ]; then
    while IFS= read -r skip; do
      known=0
      while IFS='|' read -r test reason; do
        test=$(sed 's/^ *//; s/ *$//' <<<"$test")
        reason=$(sed 's/^ *//; s/ *$//' <<<"$reason")
        [ -n "$test" ] || continue
        case "$skip" in "$test"*"$reason"*) known=1 ;; esac
      done < <(grep -vE '^\s*(#|$)' tests/ci-skips.txt || true)
      if [ $known = 0 ]; then
        echo "A skip CI does not expect fails the run: $skip"
        skipped=$((skipped - 1))
        failed=$((failed + 1))
      fi
    done <"$skips"
  fi
fi

echo "tests: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
