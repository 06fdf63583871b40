#!/usr/bin/env bash
# Waiting for input on the Win32 serial device under Wine, on a real line: a pseudo-terminal
# mapped into the Wine prefix as COM7 whose far end is a small peer that answers requests of
# one byte: W with one byte 300 ms later, S with "abc" a byte every 200 ms, H by hanging up.
# Usage: wine_wait.sh PATH/TO/commport_wait_wine_test.exe
set -euo pipefail
exe=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/wine-env.sh"
"$root/scripts/wine-prefix.sh" >/dev/null

com=com7
link=$WINEPREFIX/dosdevices/$com
work=$(mktemp -d)
peer_pid=

cleanup() {
  set +e
  if [ -n "$peer_pid" ]; then
    kill "$peer_pid" 2>/dev/null
    wait "$peer_pid" 2>/dev/null
  fi
  # Only take the mapping away if it is still the one we made.
  if [ -L "$link" ] && [ "$(readlink "$link")" = "$(cat "$work/slave" 2>/dev/null)" ]; then
    rm -f "$link"
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# One user of COM7 at a time in the shared prefix.
exec 9>"$WINEPREFIX/.kestrel-$com.lock"
flock -w 240 9

python3 - "$work/slave" <<'PEER' &
import fcntl, os, select, signal, sys, termios, time

# Hanging up our own line must not end us before we are told to go.
signal.signal(signal.SIGHUP, signal.SIG_IGN)
master, slave = os.openpty()
# Our own controlling terminal, so no Wine process takes the line as theirs.
os.setsid()
fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
with open(sys.argv[1] + ".tmp", "w") as f:
    f.write(os.ttyname(slave))
os.rename(sys.argv[1] + ".tmp", sys.argv[1])

deadline = time.time() + 240
while time.time() < deadline:
    ready, _, _ = select.select([master], [], [], 0.2)
    if not ready:
        continue
    for request in os.read(master, 64):
        if request == ord("W"):
            time.sleep(0.3)
            os.write(master, b"\x5A")
        elif request == ord("S"):
            for i, byte in enumerate(b"abc"):
                if i:
                    time.sleep(0.2)
                os.write(master, bytes([byte]))
        elif request == ord("H"):
            time.sleep(0.3)
            os.close(master)  # the last handle on the far end: the line hangs up
            while True:  # until we are told to go
                time.sleep(1)
PEER
peer_pid=$!

for _ in $(seq 100); do [ -f "$work/slave" ] && break; sleep 0.1; done
[ -f "$work/slave" ] || { echo "peer did not start"; exit 1; }
ln -sfn "$(cat "$work/slave")" "$link"

KESTREL_WINE_COM=COM7 "$root/scripts/wine-run" "$exe"
