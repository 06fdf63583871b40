#!/usr/bin/env bash
# kestrel-flash flash against palmsim: one scenario per run, checked the way a user would
# check it, by the handheld's flash and RAM afterwards (flash_expect.py works them out from
# the update file alone) and by what the command said and how it ended.
# Usage: kestrel_flash_e2e.sh CASE KESTREL_FLASH PALMSIM MKUPD WORKDIR
set -uo pipefail
case_name=$1 kf=$2 palmsim=$3 mkupd=$4 work=$5/$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../testing/palmsim.sh"
loader=$(dirname "$kf")/sys/Bootlet.prc
rm -rf "$work" && mkdir -p "$work" || exit 1
failures=0

fail() { echo "FAIL ($case_name): $*"; failures=$((failures + 1)); }

cleanup() { palmsim_stop >/dev/null 2>&1; }
trap cleanup EXIT

# start_sim ARGS...: palmsim on the fresh state dir $work/state; sets $pty.
start_sim() {
  palmsim_start "$palmsim" "$work" --state "$work/state" "$@" || { fail "palmsim did not start"; exit 1; }
  pty=$palmsim_pty
}

# stop_sim: TERM makes palmsim write its state directory.
stop_sim() {
  palmsim_stop || fail "palmsim ended with $?"
}

# flash ARGS...: runs kestrel-flash flash on the simulated handheld; sets $rc, and its
# standard error is in $work/flash.err.
flash() {
  "$kf" flash --port "$pty" "$@" 2>"$work/flash.err" >"$work/flash.out"
  rc=$?
}

# expect_end STATUS LAST_LINE: the exit status and the last line on standard error.
expect_end() {
  [ "$rc" = "$1" ] || fail "exit $rc, wanted $1"
  local last
  last=$(tail -n 1 "$work/flash.err")
  [ "$last" = "$2" ] || fail "ended with '$last', wanted '$2'"
  if [ "$failures" != 0 ]; then sed 's/^/  | /' "$work/flash.err" | tail -n 30; fi
}

expect_said() { grep -qF -- "$1" "$work/flash.err" || fail "did not say '$1'"; }

# image MODE [UPD]: flash.bin and ram.bin against what MODE leaves on a fresh handheld.
image() {
  python3 "$here/flash_expect.py" --state "$work/state" --mode "$1" --loader "$loader" \
    ${2:+--upd "$2"} || fail "the handheld does not hold what the $1 update leaves"
}

# await TEXT: until the running kestrel-flash has said TEXT (at most 10 s).
await() {
  for _ in $(seq 100); do
    grep -q -- "$1" "$work/flash.err" && return 0
    sleep 0.1
  done
  fail "kestrel-flash did not say '$1' in time"
}

# describe NAME LINES: an update file from a description.
describe() {
  printf '%s\n' "$2" >"$work/$1.txt"
  "$mkupd" "$work/$1.txt" "$work/$1.upd" || fail "mkupd $1"
}

"$mkupd" --sample "$work/sample.upd" || fail "mkupd --sample"
upd=$work/sample.upd
done_line="Done: the handheld holds the new OS."
done_ram="Done: the handheld holds the new OS and the file's RAM data."

case $case_name in
advanced)
  # The whole road: debugger, loader upload, OS, finalisation, RAM data.
  start_sim --no-pacing
  flash --advanced "$upd"
  stop_sim
  expect_end 0 "$done_ram"
  expect_said "Uploading the loader"
  expect_said "Flashing OS: 100%"
  expect_said "Installing RAM image: 100%"
  image advanced "$upd"
  ;;
normal)
  # The loader already runs; RAM data is announced and left out.
  start_sim --no-pacing --loader-running
  flash "$upd"
  stop_sim
  expect_end 0 "$done_line"
  expect_said "The file carries 1000 bytes of RAM data; normal mode does not install"
  grep -q "Uploading the loader\|Installing RAM image" "$work/flash.err" &&
    fail "normal mode sent a loader or RAM data"
  image normal "$upd"
  # The same update again: the sections already match but the OMG page, whose fields the
  # first run filled in; it is written again, and the flash store, already holding what this
  # update writes, counts as set up. The flash ends as the first run left it.
  start_sim --no-pacing --loader-running
  flash "$upd"
  stop_sim
  expect_end 0 "$done_line"
  image normal "$upd"
  # A store that holds other values is still refused: another heap size.
  python3 -c 'import sys; f = open(sys.argv[1], "r+b"); f.seek(0x42002); f.write(b"\0\x10\0\0")' \
    "$work/state/flash.bin"
  start_sim --no-pacing --loader-running
  flash "$upd"
  stop_sim
  expect_end 1 "error -1: Error : -1"
  expect_said "The flash store behind the OS holds what this update would not write"
  ;;
noise)
  # Altered and lost bytes both ways; the link's retries must absorb them. With this seed a
  # program request is lost in the middle of the first section.
  start_sim --no-pacing --fault corrupt=0.00002 --fault drop=0.00001 --seed 7 --verbose
  flash --advanced "$upd"
  stop_sim
  expect_end 0 "$done_ram"
  image advanced "$upd"
  # Only a run that met a fault proves anything: the desktop must have waited out a lost
  # exchange (a second or more of silence on the line) and sent its request again.
  awk '$2 == "<-" && last != "" && $1 - last > 1000 { found = 1 } $2 == "->" { last = $1 }
       END { exit !found }' "$work/sim.err" || fail "the noise met no exchange"
  ;;
stale)
  # Every reply is preceded by a stale copy with the previous id, debugger and loader alike.
  start_sim --no-pacing --fault stale
  flash --advanced "$upd"
  stop_sim
  expect_end 0 "$done_ram"
  image advanced "$upd"
  ;;
high-speed)
  # 115200 bit/s after the loader answers; a line left at 57600 on one side garbles bytes.
  start_sim --no-pacing
  flash --advanced --high-speed "$upd"
  stop_sim
  expect_end 0 "$done_ram"
  expect_said "Loader answered: device type 11, 4096 KiB of flash, 115200 bit/s"
  image advanced "$upd"
  ;;
hangup)
  # The line dies inside the first section, on a program request between two erases.
  start_sim --no-pacing --loader-running --fault hangup=11 --verbose
  flash "$upd"
  stop_sim
  expect_end 1 "error -1200: Connection Lost"
  grep -q "Done" "$work/flash.err" && fail "a dead line passed as success"
  grep -q "line dead after 11 packets" "$work/sim.err" || fail "the line did not die"
  ;;
interrupt-flash)
  # Ctrl-C while blocks are written (real line speed, so there is time): the engine stops
  # at the next block.
  start_sim --loader-running
  "$kf" flash --port "$pty" "$upd" 2>"$work/flash.err" &
  flash_pid=$!
  await "Flashing OS: [1-9]"
  kill -INT "$flash_pid"
  wait "$flash_pid"
  rc=$?
  stop_sim
  expect_end 1 "error -307: User aborted flash process"
  grep -q "Flashing OS: 100%" "$work/flash.err" && fail "the flash ran to its end"
  ;;
recover)
  # The line dies in the middle of the flash store's set-up (after the heap header, before the
  # free chunk), and in the middle of a flash at 115200 bit/s, where the loader stays at that
  # speed: either way the loader is left running, and the next run, at the speed a run starts
  # at, finds it and finishes the update instead of finding the store not blank.
  for cut in 55 "30 --high-speed"; do
    set -- $cut
    rm -rf "$work/state"
    start_sim --no-pacing --loader-running --fault hangup=$1
    flash ${2:-} "$upd"
    stop_sim
    expect_end 1 "error -1200: Connection Lost"
    expect_said "holds an unfinished update and its loader keeps running"
    start_sim --no-pacing
    flash "$upd"
    stop_sim
    expect_end 0 "$done_line"
    image normal "$upd"
  done
  ;;
device-gone)
  # The device side hangs up while kestrel-flash waits for a loader: that is a lost line,
  # told at once, not a loader that did not answer in the whole --timeout.
  start_sim --no-pacing --mode os
  "$kf" flash --port "$pty" "$upd" 2>"$work/flash.err" &
  flash_pid=$!
  await "Waiting for the loader"
  started=$SECONDS
  kill -KILL "$palmsim_pid"
  wait "$flash_pid"
  rc=$?
  palmsim_stop
  expect_end 1 "error -1200: Connection Lost"
  [ $((SECONDS - started)) -le 5 ] || fail "the lost line took $((SECONDS - started)) s to tell"
  ;;
interrupt-wait)
  # Ctrl-C while waiting for a loader that does not answer ends the wait; a second Ctrl-C
  # ends the program at once.
  start_sim --no-pacing --loader-running --fault silent-loader
  "$kf" flash --port "$pty" "$upd" 2>"$work/flash.err" &
  flash_pid=$!
  await "Waiting for the loader"
  kill -INT "$flash_pid"
  wait "$flash_pid"
  rc=$?
  expect_end 1 "error -1101: User Abort"
  "$kf" flash --port "$pty" "$upd" 2>"$work/flash.err" &
  flash_pid=$!
  await "Waiting for the loader"
  started=$SECONDS
  kill -INT "$flash_pid"
  sleep 0.2
  kill -INT "$flash_pid"
  wait "$flash_pid"
  rc=$?
  [ "$rc" = 130 ] || fail "a second Ctrl-C: exit $rc, wanted 130"
  [ $((SECONDS - started)) -le 1 ] || fail "a second Ctrl-C took $((SECONDS - started)) s"
  stop_sim
  image untouched
  ;;
silent-loader)
  # A loader that never answers: StartLoader is retried until the time-out, then -902.
  start_sim --no-pacing --loader-running --fault silent-loader --verbose
  started=$SECONDS
  flash --timeout 3 "$upd"
  took=$((SECONDS - started))
  stop_sim
  expect_end 1 "error -902: Communications Timeout."
  expect_said "a handheld in its ROM debugger needs --advanced"
  # Each StartLoader sends the version query three times.
  queries=$(grep -c '<- type 0x00 ' "$work/sim.err")
  [ "$queries" -ge 6 ] || fail "the loader was asked $queries times, not retried"
  [ "$took" -le 8 ] || fail "a 3 s time-out took $took s"
  image untouched
  ;;
stuck-block)
  # A block that acknowledges writes but keeps its old bits: the section's checksum after
  # writing tells, and the update must not pass.
  start_sim --no-pacing --loader-running --fault stuck-block=0x10000
  flash "$upd"
  stop_sim
  expect_end 1 "error -101: Flash Write Error"
  ;;
partial-block)
  # A section that starts inside an erase block: refused before anything is erased.
  describe partial 'os 0x1000 pattern 1 0x2000'
  start_sim --no-pacing --loader-running
  flash "$work/partial.upd"
  stop_sim
  expect_end 1 "error -4000: attempt to flash partial sector"
  image untouched
  ;;
too-big)
  # An OS that ends one byte past the flash is refused before the RAM store is wiped; one
  # that ends exactly at the end of the flash is written.
  describe big 'os 0 pattern 1 0x1000
os 0x3F0000 pattern 2 0x10001'
  describe fits 'minor 4
os 0 pattern 1 0x1000
os 0x3F0000 pattern 2 0x10000'
  start_sim --no-pacing --loader-running
  flash "$work/big.upd"
  expect_end 1 "kestrel-flash flash: The update you are trying to install is too big to fit in your device's flash memory. (the OS needs 4194305 bytes, the flash holds 4194304: Intel 0x8897)"
  stop_sim
  image untouched
  start_sim --no-pacing --loader-running
  flash "$work/fits.upd"
  stop_sim
  expect_end 0 "$done_line"
  image normal "$work/fits.upd"
  ;;
device)
  # Normal mode compares the file's device with the handheld's: a mismatch needs --yes.
  # The refused run leaves the loader running, back at the speed a new run starts at.
  start_sim --no-pacing --loader-running --hwid 6
  flash --high-speed "$upd"
  expect_end 1 "kestrel-flash flash: The selected update file does not match the device you are trying to update. (the file is for device 11, the handheld is device 7) Give --yes to flash it anyway; the loader keeps running for that."
  # ... on the same loader, still running.
  flash --yes "$upd"
  stop_sim
  expect_end 0 "$done_line"
  image normal "$upd"
  # Advanced mode does not compare, but takes Halvex handhelds only.
  rm -rf "$work/state"
  start_sim --no-pacing --hwid 1
  flash --advanced "$upd"
  stop_sim
  expect_end 1 "kestrel-flash flash: This program is only to be used with a Halvex device. (the handheld reports device type 1)"
  ;;
store-unchecked)
  # A block that ignores programming under the flash store's header (0x42000), then under
  # the end-of-flash word: the finalisation reads back what it wrote, and a store that did not
  # take is no "Done"; the loader stays for the rerun.
  for block in 0x40000 0x3F0000; do
    rm -rf "$work/state"
    start_sim --no-pacing --loader-running --fault stuck-block=$block
    flash "$upd"
    stop_sim
    expect_end 1 "error -309: Error finalizing RomVault structures"
    expect_said "holds an unfinished update and its loader keeps running"
  done
  ;;
no-os)
  # RAM data alone: normal mode has nothing to write and touches nothing; advanced mode
  # installs the RAM data and does not claim a new OS.
  describe ramonly 'device 11
minor 4
ram 0x20000 pattern 4 100'
  start_sim --no-pacing --loader-running
  flash "$work/ramonly.upd"
  stop_sim
  expect_end 1 "error -314: Update file holds no OS"
  image untouched
  rm -rf "$work/state"
  start_sim --no-pacing
  flash --advanced "$work/ramonly.upd"
  stop_sim
  expect_end 0 "Done: the file holds no OS; its RAM data is installed."
  image advanced "$work/ramonly.upd"
  ;;
foretold)
  # What the file alone, or the file and the handheld, show of the flash store's set-up is
  # judged before the RAM store is erased: a reset vector the file leaves to a blank
  # handheld, a store start outside the flash, a store page the file fills.
  describe novector 'minor 3
os 0x10000 pattern 2 0x1000'
  "$mkupd" --help 2>&1 | sed -n '/^device 11$/,$p' >"$work/outside.txt"
  sed -e 's/^set32 0x2003E .*/set32 0x2003E 0x11000000/' "$work/outside.txt" >"$work/o.txt"
  "$mkupd" "$work/o.txt" "$work/outside.upd" || fail "mkupd outside"
  sed -e 's/^fill 0x20034 124 0xFF.*/fill 0x20036 122 0xFF/' "$work/outside.txt" >"$work/u.txt"
  "$mkupd" "$work/u.txt" "$work/inuse.upd" || fail "mkupd inuse"
  while read -r file line; do
    rm -rf "$work/state"
    start_sim --no-pacing --loader-running
    flash "$work/$file.upd"
    stop_sim
    expect_end 1 "$line"
    grep -q "unfinished update" "$work/flash.err" && fail "$file: a rerun was advised"
    image untouched
  done <<'FILES'
novector error -4003: the OS's reset vector points outside the flash
outside error -4004: the flash store lies outside the flash
inuse error -1: Error : -1
FILES
  ;;
hwid-hangup)
  # The line dies as the loader is asked for its hardware id: a lost line, not a handheld of
  # another maker.
  start_sim --no-pacing --fault hangup=6
  flash --advanced "$upd"
  stop_sim
  expect_end 1 "error -1200: Connection Lost"
  grep -q "Halvex" "$work/flash.err" && fail "a dead line was taken for another handheld"
  ;;
*)
  fail "no such case"
  ;;
esac

[ "$failures" = 0 ] && echo "kestrel-flash e2e $case_name: passed"
[ "$failures" = 0 ]
