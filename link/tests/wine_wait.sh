#!/usr/bin/env bash
# Waiting for input on the Win32 serial device under Wine, on a real line: a pseudo-terminal
# mapped into the Wine prefix as COM7 whose far end is a small peer that answers requests of
# one byte: W with one byte 300 ms later, S with "abc" a byte every 200 ms, H by hanging up.
# Usage: wine_wait.sh PATH/TO/commport_wait_wine_test.exe
set -euo pipefail
exec "$(dirname "$0")/../../scripts/wine-com-peer" "$1" <<'PEER'
import select, signal, time

# Hanging up our own line must not end us before we are told to go.
signal.signal(signal.SIGHUP, signal.SIG_IGN)

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
