#!/usr/bin/env bash
# The Win32 serial device under Wine, on a real line: a pseudo-terminal whose far end is a
# small peer, mapped into the Wine prefix as COM7. The peer checks the packet the program
# sends and the line settings it made, and answers with its verdict.
# Usage: wine_comport.sh PATH/TO/commport_wine_test.exe
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
import fcntl, os, select, sys, termios, time

def crc16(data):
    crc = 0
    for b in data:
        crc ^= b << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) & 0xFFFF if crc & 0x8000 else (crc << 1) & 0xFFFF
    return crc

def packet(pid, ptype, body):
    head = bytes([0xBE, 0xEF, 0xED, 0, 0, ptype, len(body) >> 8, len(body) & 0xFF, pid])
    head += bytes([sum(head) & 0xFF])
    c = crc16(head + body)
    return head + body + bytes([c >> 8, c & 0xFF])

master, slave = os.openpty()
# Make the line our own controlling terminal, so no Wine process can take it as theirs and
# be hung up when we go.
os.setsid()
fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
with open(sys.argv[1] + ".tmp", "w") as f:
    f.write(os.ttyname(slave))
os.rename(sys.argv[1] + ".tmp", sys.argv[1])

buf = b""
deadline = time.time() + 240
while True:
    if time.time() > deadline:
        sys.exit("peer: no packet came")
    ready, _, _ = select.select([master], [], [], 0.2)
    if ready:
        buf += os.read(master, 4096)
    start = buf.find(b"\xBE\xEF\xED")
    if start >= 0 and len(buf) >= start + 10:
        size = (buf[start + 6] << 8) | buf[start + 7]
        if len(buf) >= start + 12 + size:
            break

head = buf[start:start + 10]
body = buf[start + 10:start + 10 + size]
footer = buf[start + 10 + size:start + 12 + size]
framed = (buf[:start] == b"\x80\x80\x80" and sum(head[:9]) & 0xFF == head[9]
          and crc16(head + body) == (footer[0] << 8 | footer[1]))
attrs = termios.tcgetattr(slave)
cflag = attrs[2]
speed = attrs[4] == termios.B57600 and attrs[5] == termios.B57600
line = (cflag & termios.CSIZE) == termios.CS8 and not cflag & (termios.PARENB | termios.CSTOPB)
verdict = bytes([int(framed), int(speed), int(line), int(body == b"\x10\xBE\x20")])

# Noise first, and the answer in two pieces, as a real line may deliver it.
answer = packet(head[8], 0x80 | head[5], verdict + body)
os.write(master, b"\x00\x80\xEF" + answer[:6])
time.sleep(0.05)
os.write(master, answer[6:])
while True:  # keep the line up until we are told to go
    time.sleep(1)
PEER
peer_pid=$!

for _ in $(seq 100); do [ -f "$work/slave" ] && break; sleep 0.1; done
[ -f "$work/slave" ] || { echo "peer did not start"; exit 1; }
ln -sfn "$(cat "$work/slave")" "$link"

KESTREL_WINE_COM=COM7 KESTREL_WINE_NOPORT=199 "$root/scripts/wine-run" "$exe"
