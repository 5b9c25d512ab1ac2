#!/usr/bin/env bash
# Builds the speed benchmark (an optimised build in build-bench/) and runs it: generated address
# books of 1,000, 10,000 and 100,000 contacts, every figure with its ratio to the bare engine
# scan measured in the same run, and a summary table at the end. Takes a few minutes; the books
# are generated once and kept in build-bench/bench-books/.
# Arguments are handed to the benchmark, e.g. --sizes 1000,10000, --reps 5 or --files-only (the
# import and export processes alone).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh bench
build="${VC_BENCH_BUILD:-build-bench}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVC_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target vellicard_bench
exec "$build/bin/vellicard_bench" "$@"
