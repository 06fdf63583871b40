#!/usr/bin/env bash
# kestrel-flash asked to end in the middle of a high-speed flash (SIGTERM from a service
# manager or kill, SIGHUP from a terminal that went away): it stops at the next block as on
# Ctrl-C, puts the loader back to 57600 bit/s and leaves it running, so that the next run, which
# starts at 57600, reaches it and finishes the update.
# Usage: kestrel_flash_signal_test.sh TERM|HUP KESTREL_FLASH PALMSIM MKUPD WORKDIR
set -uo pipefail
signal=$1 kf=$2 palmsim=$3 mkupd=$4 work=$5/$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../testing/palmsim.sh"
loader=$(dirname "$kf")/sys/Bootlet.prc
rm -rf "$work" && mkdir -p "$work" || exit 1
failures=0

fail() { echo "FAIL (SIG$signal): $*"; failures=$((failures + 1)); }
trap 'palmsim_stop >/dev/null 2>&1' EXIT

# start_sim ARGS...: palmsim on the state directory $work/state.
start_sim() {
  palmsim_start "$palmsim" "$work" --state "$work/state" "$@" || { fail "palmsim did not start"; exit 1; }
}

# ended RUN STATUS LAST_LINE: run RUN (its standard error in $work/RUN.err) ended so.
ended() {
  local last
  last=$(tail -n 1 "$work/$1.err")
  [ "$rc" = "$2" ] && [ "$last" = "$3" ] && return 0
  fail "$1: exit $rc ending '$last', wanted $2 ending '$3'"
  sed 's/^/  | /' "$work/$1.err" | tail -n 20
}

"$mkupd" --sample "$work/sample.upd" || fail "mkupd --sample"

# At the real line speed, so that the signal comes while blocks are written.
start_sim --loader-running
"$kf" flash --port "$palmsim_pty" --high-speed "$work/sample.upd" 2>"$work/first.err" &
flash_pid=$!
for _ in $(seq 200); do
  grep -q "Flashing OS: [1-9]" "$work/first.err" && break
  sleep 0.05
done
grep -q "Flashing OS: [1-9]" "$work/first.err" || fail "the flash did not start in time"
kill -"$signal" "$flash_pid"
wait "$flash_pid"
rc=$?
ended first 1 "error -307: User aborted flash process"
grep -q "holds an unfinished update and its loader keeps running" "$work/first.err" ||
  fail "the loader was not said to keep running"
grep -q "Flashing OS: 100%" "$work/first.err" && fail "the flash ran to its end"
palmsim_stop || fail "palmsim ended with $?"

# The handheld as the signal left it, with its loader: a normal run at 57600 finishes it.
start_sim --no-pacing
"$kf" flash --port "$palmsim_pty" "$work/sample.upd" 2>"$work/second.err"
rc=$?
palmsim_stop || fail "palmsim ended with $?"
ended second 0 "Done: the handheld holds the new OS."
python3 "$here/../../tests/e2e/flash_expect.py" --state "$work/state" --mode normal \
  --loader "$loader" --upd "$work/sample.upd" || fail "the handheld does not hold the update"

[ "$failures" = 0 ] && echo "kestrel-flash SIG$signal mid-flash: passed"
[ "$failures" = 0 ]
