#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
log=$(mktemp)
trap 'rm -f "$log"' EXIT
ctest --test-dir build --output-on-failure -j2 | tee "$log"
# The whole suite again under ASan, LSan and UBSan, then a short run of each fuzz target (which
# first replays its committed corpus).
bash scripts/sanitize.sh
bash scripts/fuzz.sh "${VC_FUZZ_SECONDS:-60}"

# One closing line for the whole run: the plain suite's count (the sanitizer pass and the fuzz
# runs above stop the script on any failure).
total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
echo "tests: ${total:-0} passed, 0 failed"
