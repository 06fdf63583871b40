#!/usr/bin/env bash
# A normal-mode update of a handheld in daily use, as the HotSync side sees it before and
# after: `handheld create` makes it (a user, RAM databases, built-in and user-added flash-ROM
# databases, Bootlet queued for installation); the HotSync stand-in's part (installing the
# queue into RAM) is played by hand; the user's reset starts the loader; kestrel-flash erases
# the RAM store, flashes and sets the flash store up; after palmsim's save `handheld list`
# shows RAM and the user-added ROM empty, no user, and the built-in ROM as it was.
# Usage: palmsim_databases_e2e.sh KESTREL_FLASH PALMSIM MKUPD HANDHELD SAMPLES WORKDIR
set -uo pipefail
kf=$1 palmsim=$2 mkupd=$3 handheld=$4 samples=$5 work=$6
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../testing/palmsim.sh"
loader=$(dirname "$kf")/sys/Bootlet.prc
rm -rf "$work" && mkdir -p "$work" || exit 1
state=$work/state
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
cleanup() { palmsim_stop >/dev/null 2>&1; }
trap cleanup EXIT

# listed PATTERN: the line of `handheld list` matching PATTERN (extended regex), or nothing.
listed() { "$handheld" list "$state" | grep -E -- "$1"; }

"$samples" "$work/databases" || { fail "no sample databases"; exit 1; }
"$mkupd" --sample "$work/sample.upd" || { fail "mkupd --sample"; exit 1; }
mkdir -p "$work/rom" && mv "$work/databases/app.prc" "$work/rom/"
"$handheld" create "$state" --user "Jo Tester" --os-version 3.5 --ram "$work/databases" \
  --rom "$work/rom" --rom-added "$work/databases/memos.pdb" --install "$loader" ||
  { fail "handheld create"; exit 1; }
[ "$(listed '^user: ')" = "user: Jo Tester" ] || fail "the user is not Jo Tester"
[ "$(listed '^ram ' | wc -l)" = 3 ] || fail "ram/ does not hold the three databases"

# The handheld runs its OS: nothing answers, and the loader is only queued.
palmsim_start "$palmsim" "$work" --no-pacing --state "$state" || { fail "palmsim"; exit 1; }
"$kf" flash --port "$palmsim_pty" --timeout 1 "$work/sample.upd" >"$work/early.out" 2>&1 &&
  fail "kestrel-flash found a loader before it was installed"

# The HotSync installs the queue into RAM; the user resets the handheld.
mv "$state/install/Bootlet.prc" "$state/ram/Bootlet.PRC"
kill -s RTMIN+1 "$palmsim_pid"
"$kf" flash --port "$palmsim_pty" --timeout 10 "$work/sample.upd" >"$work/flash.out" \
  2>"$work/flash.err" || { fail "kestrel-flash failed"; tail -n 20 "$work/flash.err"; }
palmsim_stop || fail "palmsim ended with $?"

"$handheld" list "$state" >"$work/after.txt" || fail "handheld list after the update"
[ "$(listed '^user: ')" = "user: " ] || fail "the user name outlived the RAM-store erase"
[ "$(listed '^os-version: ')" = "os-version: 3.5" ] || fail "the OS version changed"
[ -z "$(listed '^(ram|rom-added|install) ')" ] || fail "databases outlived the update"
[ -n "$(listed '^rom +appl KApp .* Kestrel App$')" ] || fail "the built-in ROM lost its database"
grep -q "^mode=os$" "$state/handheld.conf" || fail "the loader did not leave"

if [ "$failures" != 0 ]; then
  sed 's/^/  | /' "$work/after.txt"
  exit 1
fi
echo "the update emptied RAM and the user-added ROM, kept the built-in ROM"
