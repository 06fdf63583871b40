#!/usr/bin/env bash
# The Win32 serial device under Wine, on a real line: a pseudo-terminal whose far end is a
# small peer, mapped into the Wine prefix as COM7. The peer checks the packet the program
# sends and the line settings it made, and answers with its verdict. The program is also told
# of a port that does not exist.
# Usage: wine_comport.sh PATH/TO/commport_wine_test.exe
set -euo pipefail
export KESTREL_WINE_NOPORT=199
exec "$(dirname "$0")/../../scripts/wine-com-peer" "$1" <<'PEER'
import select, time

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
