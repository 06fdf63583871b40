#!/usr/bin/env bash
# Everything CI checks: set-up, both builds, every test natively and under Wine, and a bounded
# fuzzing run. Incremental after the first run. Ends with one "N passed, N failed" line.
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

step() { printf '\n== %s\n' "$*"; }

run_preset() {
  local preset=$1
  step "$preset build"
  if ! { cmake --preset "$preset" -Wno-dev >/dev/null && cmake --build --preset "$preset"; } \
      >"$logdir/$preset-build.log" 2>&1; then
    tail -n 60 "$logdir/$preset-build.log"
    echo "$preset build failed"
    failed=$((failed + 1))
    return 1
  fi
  return 0
}

if run_preset native; then
  step "native tests"
  # Thousands of passing cases would drown the rest; the log keeps them all.
  ctest --preset native 2>&1 | tee "$logdir/native-ctest.log" |
    grep -E -v '^ *(Start +[0-9]+:|[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed)'
  count_ctest "$logdir/native-ctest.log"
fi

if run_preset windows; then
  step "Windows tests under Wine"
  # One Wine session on one display for all the tests (scripts/wine-tests).
  "$here/scripts/wine-tests" 2>&1 | tee "$logdir/windows-ctest.log"
  count_ctest "$logdir/windows-ctest.log"
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

echo
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
