#!/usr/bin/env bash
# Builds the whole project with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer
# into build-asan/ and runs every test there. The first report ends the process that made it.
# ASan and LSan reports go to files, so that a report from a program a test starts (the
# program itself, say) cannot be swallowed by the test; any such file fails the pass.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${VC_ASAN_BUILD:-build-asan}
start=$(date +%s)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVC_SANITIZE=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
built=$(date +%s)

logs="$root/$build/sanitizer-logs"
rm -rf "$logs"
mkdir -p "$logs"
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=0:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1:log_path=$logs/asan"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
# UBSan reports stay on the process's standard error (its runtime ignores log_path when it
# shares a process with ASan); halting makes them fail the test that saw them.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

status=0
rm -f "$build"/test-logs/*.txt
ctest --test-dir "$build" --output-on-failure -j2 || status=$?
if compgen -G "$logs/*" >/dev/null; then
  echo "Sanitizer reports:" >&2
  for f in "$logs"/*; do
    echo "==== $f" >&2
    cat "$f" >&2
  done
  status=1
fi
echo "Sanitizer pass: build $((built - start)) s, tests $(( $(date +%s) - built )) s, status $status"
exit $status
