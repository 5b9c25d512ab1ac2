#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each of them in turn.
#
#   scripts/fuzz.sh [seconds per target] [target ...]      default: 60 s, every target
#   VC_FUZZ_MERGE=1 scripts/fuzz.sh ...                    afterwards, merge what the run found
#                                                          into the committed corpora, minimized
#
# Every run first replays the committed corpus (fuzz/corpus/<target>), which holds the inputs of
# earlier findings, then mutates. New inputs go to build-fuzz/corpus/<target>, so a run never
# changes the committed corpus unless asked to merge. A finding (crash, sanitizer report, broken
# property, leak, timeout, memory limit) stops that target, keeps the input under
# build-fuzz/artifacts/ and fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_maskedit fuzz_statements fuzz_dbfile fuzz_vcard fuzz_multistatus)
build=build-fuzz

cmake -S fuzz -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export QT_QPA_PLATFORM=offscreen
# The masked edit's fuzzing asks for selections out of range on purpose; Qt warns each time.
export QT_LOGGING_RULES="default.warning=false"

status=0
for target in "${targets[@]}"; do
  committed="$root/fuzz/corpus/$target"
  work="$root/$build/corpus/$target"
  artifacts="$root/$build/artifacts"
  mkdir -p "$committed" "$work" "$artifacts"
  options=(-max_total_time="$seconds" -timeout=25 -rss_limit_mb=3072 -print_final_stats=1
           -artifact_prefix="$artifacts/$target-")
  [ -f "fuzz/$target.dict" ] && options+=(-dict="fuzz/$target.dict")
  [ "$target" = fuzz_dbfile ] && options+=(-max_len=20000)
  log="$root/$build/$target.log"
  start=$(date +%s)
  if "$build/bin/$target" "${options[@]}" "$work" "$committed" >"$log" 2>&1; then
    result=clean
  else
    result="FINDING (see $log and $artifacts)"
    status=1
    grep -E -A12 "property broken|ERROR:|runtime error|deadly signal" "$log" | head -40 >&2 || true
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  echo "$target: ${runs:-?} executions in $(( $(date +%s) - start )) s, $result"
  if [ "${VC_FUZZ_MERGE:-0}" = 1 ] && [ "$result" = clean ]; then
    # Seeds and the inputs of earlier findings stay as they are; the merge adds only inputs
    # that reach something they do not.
    merged="$root/$build/merged/$target"
    rm -rf "$merged"
    mkdir -p "$merged"
    find "$committed" -type f \( -name 'seed-*' -o -name 'regression-*' \) -exec cp {} "$merged"/ \;
    # Database files are large: their corpus keeps inputs for new edges only, not for new
    # hit counts, to stay small.
    extra=()
    [ "$target" = fuzz_dbfile ] && extra+=(-use_counters=0)
    "$build/bin/$target" -set_cover_merge=1 "${extra[@]}" "${options[@]:1}" "$merged" "$committed" \
      "$work" >>"$log" 2>&1
    find "$committed" -type f -delete
    cp "$merged"/* "$committed"/
    bytes=$(find "$committed" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
    echo "$target: committed corpus now $(ls "$committed" | wc -l) files, $bytes bytes"
  fi
done
exit $status
