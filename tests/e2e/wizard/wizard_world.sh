#!/usr/bin/env bash
# The Linux half of the wizard's scenarios: it runs the scenario program under Wine and,
# while that runs, serves its requests for what only Linux can do: start palmsim behind COM3
# of the Wine prefix (a new one per request, on a state directory the program names), press
# the simulated handheld's reset buttons, stop palmsim so that it writes its state, and work
# out whether the handheld's flash holds what an update file leaves (flash_expect.py).
#
# Requests and replies are one-line files in the work folder, written whole and renamed:
#   request: start STATE [PALMSIM ARGS...] | stop | press reset|debugger | save
#            | expect STATE MODE FILE.upd | snapshot STATE NAME
#            | backup-check NAME DESKTOP [lagging]
#            | small-disk NAME KIB (a tmpfs: needs root)
#   reply:   ok [TEXT] | error TEXT
# Words are separated by blanks; a blank inside a word is written %20.
# The update files the scenarios use are made here first (good, device, big, damaged).
#
# Usage: wizard_world.sh PROGRAM.exe NATIVE_BUILD WORK [PROGRAM ARGS...]
# KESTREL_E2E_FILTER, when set, takes the place of PROGRAM ARGS (to run one scenario:
# KESTREL_E2E_FILTER=--gtest_filter='*Normal8*' scripts/wine-tests -R wizard_e2e_cancel).
# PROGRAM gets the work folder in KESTREL_E2E_WORK; the exit status is PROGRAM's (or 1 when
# the world could not be set up). palmsim is ended when PROGRAM ends, whatever happened.
set -uo pipefail
program=$1 native=$2 work=$3
shift 3
if [ -n "${KESTREL_E2E_FILTER:-}" ]; then set -- "$KESTREL_E2E_FILTER"; fi
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
source "$root/scripts/wine-env.sh"
source "$root/testing/palmsim.sh"
palmsim=$native/sim/palmsim
mkupd=$native/sim/mkupd/mkupd
loader=$native/cli/sys/Bootlet.prc
for tool in "$palmsim" "$mkupd" "$loader"; do
  if [ ! -e "$tool" ]; then
    echo "wizard_world: $tool is missing; build the native preset first" >&2
    exit 1
  fi
done
"$root/scripts/wine-prefix.sh" >/dev/null || exit 1

com=$WINEPREFIX/dosdevices/com3
# A small disk an earlier run could not take away would keep its folder.
awk -v w="$work/" 'index($2, w) == 1 { print $2 }' /proc/mounts | xargs -r -n 1 umount
rm -rf "$work" && mkdir -p "$work/files" || exit 1
program_pid=

mounts=()
cleanup() {
  set +e
  palmsim_stop >/dev/null 2>&1
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  rm -f "$com"
  local mount
  for mount in "${mounts[@]}"; do umount "$mount"; done
}
trap cleanup EXIT

# One user of COM3 in the shared prefix at a time.
exec 9>"$WINEPREFIX/.kestrel-com3.lock"
flock -w 600 9 || { echo "wizard_world: COM3 stays taken" >&2; exit 1; }

make_file() {  # NAME DESCRIPTION [--break KIND]
  local name=$1 description=$2
  shift 2
  printf '%s\n' "$description" >"$work/files/$name.txt"
  "$mkupd" "$work/files/$name.txt" "$work/files/$name.upd" "$@" >/dev/null ||
    { echo "wizard_world: mkupd $name failed" >&2; exit 1; }
}
"$mkupd" --sample "$work/files/good.upd" >/dev/null || exit 1
make_file device 'device 7
os 0 pattern 1 0x1000'
# One byte more than the 4 MiB flash holds.
make_file big 'os 0 pattern 1 0x1000
os 0x3F0000 pattern 2 0x10001'
make_file damaged 'os 0 pattern 1 0x3000' --break section-crc

serve() {  # one request line -> one reply line
  local verb=$1
  shift
  case $verb in
  start)
    local state=$1
    shift
    palmsim_stop >/dev/null 2>&1
    if palmsim_start "$palmsim" "$work" --state "$work/$state" --link "$com" "$@"; then
      echo "ok $palmsim_pty"
    else
      echo "error palmsim did not start: $(tr '\n' ' ' <"$work/sim.err")"
    fi
    ;;
  stop)
    local status=0
    palmsim_stop || status=$?
    [ "$status" = 0 ] && echo ok || echo "error palmsim ended with $status"
    ;;
  press)
    case ${1:-} in
    reset) kill -s RTMIN+1 "$palmsim_pid" && echo ok || echo "error no palmsim" ;;
    debugger) kill -USR2 "$palmsim_pid" && echo ok || echo "error no palmsim" ;;
    *) echo "error no button ${1:-}" ;;
    esac
    ;;
  save) kill -USR1 "$palmsim_pid" && echo ok || echo "error no palmsim" ;;
  expect)
    local out
    if out=$(python3 "$here/../flash_expect.py" --state "$work/$1" --mode "$2" \
        --loader "$loader" ${3:+--upd "$work/files/$3"} 2>&1); then
      echo ok
    else
      echo "error $(tr '\n' ' ' <<<"$out")"
    fi
    ;;
  snapshot)  # STATE NAME: the handheld's databases as they are now, kept as NAME
    rm -rf "${work:?}/$2" && mkdir -p "$work/$2" || { echo "error cannot make $2"; return; }
    local folder
    for folder in ram rom-added; do
      [ -d "$work/$1/$folder" ] && cp -r "$work/$1/$folder" "$work/$2/"
    done
    echo ok
    ;;
  backup-check)  # SNAPSHOT DESKTOP [lagging]: Palm::PDB on the backups of the desktop's user
    local user out status=0
    user=$(find "$work/$2" -mindepth 1 -maxdepth 1 -type d | head -n 1)
    out=$(perl "$here/backup_check.pl" "$work/$1/ram" "$user/BACKUP" ${3:-} \
      "Unsaved Preferences" 2>&1) || status=1
    out+=" $(perl "$here/backup_check.pl" "$work/$1/rom-added" "$user/ROM_Files" rom ${3:-} \
      2>&1)" || status=1
    [ "$status" = 0 ] && echo "ok $(tr '\n' ' ' <<<"$out")" || echo "error $(tr '\n' ' ' <<<"$out")"
    ;;
  small-disk)  # FOLDER KIB: a file system of its own of that size at FOLDER, for a disk that fills
    mkdir -p "$work/$1" &&
      mount -t tmpfs -o "size=${2}k" kestrel-small-disk "$work/$1" 2>"$work/mount.err" &&
      mounts+=("$work/$1") && echo ok ||
      echo "error no small file system: $(tr '\n' ' ' <"$work/mount.err")"
    ;;
  *) echo "error unknown request $verb" ;;
  esac
}

# Wine must not inherit the lock: a Wine service started now would hold it for as long as
# the Wine session lasts.
KESTREL_E2E_WORK=$work "$root/scripts/wine-run" "$program" "$@" 9>&- &
program_pid=$!
# (kill -0 would go on answering for the program's zombie; the shell's job table does not.)
running() { jobs -rp | grep -qx "$program_pid"; }
while running; do
  if [ -e "$work/request" ]; then
    read -r -a words <"$work/request"
    words=("${words[@]//%20/ }")  # a blank inside a word comes as %20
    rm -f "$work/request"
    serve "${words[@]}" >"$work/reply.tmp" 2>&1
    mv "$work/reply.tmp" "$work/reply"
  else
    sleep 0.02
  fi
done
wait "$program_pid"
status=$?
program_pid=
exit $status
