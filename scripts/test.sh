#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
ctest --test-dir build --output-on-failure -j2
# The whole suite again under ASan, LSan and UBSan, then a short run of each fuzz target (which
# first replays its committed corpus).
bash scripts/sanitize.sh
bash scripts/fuzz.sh "${VC_FUZZ_SECONDS:-60}"
