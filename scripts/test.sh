#!/usr/bin/env bash
# Everything CI checks: set-up, every build README documents, every test natively and under
# Wine, and a bounded fuzzing run. Incremental after the first run. Ends with a line naming the
# Windows road taken and one "N passed, N failed" line.
#
# The Windows road: where this machine executes 32-bit x86 code, the kit's own 32-bit build
# runs its tests under Wine, and the 64-bit build is compiled so that it keeps building; where
# it cannot, the 64-bit build of the same sources runs them under wine64, and the 32-bit kit
# is built and checked from its bytes (kit_tests, a native test). KESTREL_WINDOWS_ARCH=32|64
# forces a road (scripts/windows-road.sh).
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
fuzz_seconds=${KESTREL_FUZZ_SECONDS:-60}

"$here/scripts/setup.sh" || exit 1
source "$here/scripts/wine-env.sh"

passed=0 failed=0
logdir=$here/build/test-logs
mkdir -p "$logdir"

# count_ctest LOG: adds ctest's "N tests failed out of M" to the totals.
count_ctest() {
  local line total bad
  line=$(grep -E 'tests? passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
  if [ -z "$line" ]; then failed=$((failed + 1)); return; fi
  bad=$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")
  total=$(sed -E 's/.*failed out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

step() { printf '\n== %s (at %d s)\n' "$*" "$SECONDS"; }

# run_preset PRESET [TARGET]: configures and builds a preset (or one target of it); a failure
# counts once and shows the end of the log.
run_preset() {
  local preset=$1 target=(${2:+--target "$2"})
  step "$preset build${2:+ ($2)}"
  if ! { cmake --preset "$preset" -Wno-dev >/dev/null &&
         cmake --build --preset "$preset" "${target[@]}"; } >"$logdir/$preset-build.log" 2>&1; then
    tail -n 60 "$logdir/$preset-build.log"
    echo "$preset build failed"
    failed=$((failed + 1))
    return 1
  fi
  return 0
}

# tests_of BUILD: the names of the ctest tests a build folder holds, one a line, sorted.
tests_of() {
  ctest --test-dir "$1" -N 2>/dev/null | sed -n -E 's/^ *Test +#[0-9]+: +//p' | sort
}

# The 32-bit kit first: the native tests check it from its bytes. Where 32-bit code cannot
# run, the kit's files are all the 32-bit build is needed for.
if [ "$KESTREL_WINDOWS_ARCH" = 32 ]; then
  run_preset windows
  windows_ok=$?
  run_preset windows64  # compiled, so that it keeps building
else
  run_preset windows kestrel_kit
  run_preset windows64
  windows_ok=$?
fi

if run_preset native; then
  step "native tests"
  # Thousands of passing cases would drown the rest; the log keeps them all.
  ctest --preset native 2>&1 | tee "$logdir/native-ctest.log" |
    grep -E -v '^ *(Start +[0-9]+:|[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed)'
  count_ctest "$logdir/native-ctest.log"
fi

not_run=
if [ "$windows_ok" = 0 ]; then
  step "Windows tests under Wine, $KESTREL_WINDOWS_WHY"
  # One Wine session on one display for all the tests (scripts/wine-tests).
  "$here/scripts/wine-tests" 2>&1 | tee "$logdir/windows-ctest.log"
  count_ctest "$logdir/windows-ctest.log"
  if [ "$KESTREL_WINDOWS_ARCH" = 64 ]; then
    # What the 32-bit build tests and the 64-bit one has no counterpart for.
    not_run=$(comm -23 <(tests_of build/windows) <(tests_of build/windows64) | paste -sd ' ')
  fi
fi

if run_preset fuzz; then
  step "fuzzing, ${fuzz_seconds}s in all"
  if "$here/fuzz/run.sh" "$here/build/fuzz" "$fuzz_seconds" >"$logdir/fuzz.log" 2>&1; then
    tail -n 5 "$logdir/fuzz.log"
    passed=$((passed + 1))
  else
    tail -n 40 "$logdir/fuzz.log"
    echo "fuzzing found a fault"
    failed=$((failed + 1))
  fi
fi

# The optimised tools and benchmarks: built so that the documented build cannot rot unseen.
run_preset release

echo
echo "Windows road: $KESTREL_WINDOWS_WHY"
[ -n "$not_run" ] && echo "not run here: needs 32-bit x86 execution: $not_run"
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
