#!/usr/bin/env bash
# The kit's main job on its simulated world, from a fresh machine: set up, build both builds,
# and run the update wizard Kestrelup.exe under Wine on a desk of the simulated world (Palm
# Desktop's HotSync Manager stand-in, a simulated handheld behind COM3 holding a user's
# databases): the backup HotSync, the reset, the flash, the restoring HotSync. With a display
# (DISPLAY set) a person plays the user; without one the wizard is driven through normal mode
# and the pictures of its pages and the handheld's state are shown where they are. Then the
# same engine on Linux: kestrel-flash checks a sample update file the way the wizard does
# and updates a simulated handheld in its ROM debugger at real line speed. Where this machine
# cannot execute 32-bit x86 code, the wizard is the 64-bit build of the same sources under
# wine64 (scripts/windows-road.sh), and the demo says so.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"

"$here/scripts/setup.sh"
source "$here/scripts/wine-env.sh"
cmake --preset release -Wno-dev >/dev/null
cmake --build --preset release --target mkupd kestrel-flash palmsim >/dev/null
cmake --preset "$KESTREL_WINDOWS_PRESET" -Wno-dev >/dev/null
cmake --build --preset "$KESTREL_WINDOWS_PRESET" >/dev/null

scenarios=$here/build/$KESTREL_WINDOWS_PRESET/tests/e2e/wizard/wizard_scenario_tests.exe
desk=$here/build/demo/wizard
if [ "$KESTREL_WINDOWS_ARCH" = 64 ]; then
  echo "== the wizard runs as its 64-bit build under wine64 (the kit itself is 32-bit): ${KESTREL_WINDOWS_WHY#*: }"
fi
if [ -n "${DISPLAY:-}" ]; then
  echo "== Kestrelup.exe on the simulated desk: you are the user"
  bash tests/e2e/wizard/wizard_world.sh "$scenarios" "$here/build/release" "$desk" \
    --gtest_also_run_disabled_tests --gtest_filter=Demo.DISABLED_Interactive || true
  wineserver -k 2>/dev/null || true
  echo "the handheld afterwards: $desk/handheld"
else
  echo "== Kestrelup.exe on the simulated desk, driven through normal mode (no display: Xvfb)"
  "$here/scripts/with-display" bash -c '
    wineserver -p 2>/dev/null
    wine cmd /c exit </dev/null >/dev/null 2>&1
    bash tests/e2e/wizard/wizard_world.sh "$1" "$2" "$3" \
      --gtest_filter=Languages/Tour.NormalModeEveryPage/en
    status=$?
    wineserver -k 2>/dev/null
    exit $status' demo "$scenarios" "$here/build/release" "$desk" | grep -E "screenshot|OK|FAILED"
  echo "pictures of every page: $desk/shots/en"
  echo "the handheld afterwards: $desk/tour-normal-en (flash.bin, ram/, handheld.conf)"
fi

bin=$here/build/release
work=$here/build/demo
mkdir -p "$work"
upd=$work/SAMPLE.UPD
handheld=$work/handheld

echo "== mkupd: building a sample update file"
"$bin/sim/mkupd/mkupd" --sample "$upd"

echo
echo "== kestrel-flash verify $upd"
"$bin/cli/kestrel-flash" verify "$upd"

echo
echo "== kestrel-flash info $upd"
"$bin/cli/kestrel-flash" info "$upd"

echo
echo "== palmsim: a fresh handheld, reset into its ROM debugger"
rm -rf "$handheld"
source "$here/testing/palmsim.sh"
trap 'palmsim_stop >/dev/null 2>&1' EXIT
# Interrupted, the demo still ends the palmsim it started.
trap 'exit 130' INT TERM HUP
palmsim_start "$bin/sim/palmsim" "$work" --state "$handheld"
pty=$palmsim_pty
echo "serial line: $pty (state in $handheld)"

echo
echo "== kestrel-flash flash --advanced --high-speed --port $pty $upd"
started=$SECONDS
"$bin/cli/kestrel-flash" flash --advanced --high-speed --port "$pty" "$upd"
echo "($((SECONDS - started)) s)"

palmsim_stop

echo
echo "== the handheld afterwards ($handheld/flash.bin, ram.bin)"
"$bin/cli/kestrel-flash" info --json "$upd" >"$work/info.json"
python3 - "$work/info.json" "$upd" "$handheld" <<'PY'
import binascii, json, struct, sys

info = json.load(open(sys.argv[1]))
raw = open(sys.argv[2], "rb").read()
flash = bytearray(open(sys.argv[3] + "/flash.bin", "rb").read())
ram = open(sys.argv[3] + "/ram.bin", "rb").read()
base, total = 0x10C00000, len(flash)
u16 = lambda b, at: struct.unpack_from(">H", b, at)[0]
u32 = lambda b, at: struct.unpack_from(">I", b, at)[0]

# The flash store's control block (OMG) lies in the page the reset vector points into; the
# update filled in its fields after the OS was written.
omg = (u32(flash, 0x8004) & ~0xFFF) - base
written = [(52, 62), (66, 174)]  # num_chips, chip codes / disk_size, chip table copy
matched = 0
for s in info["os_sections"]:
    got = bytearray(flash[s["offset"]:s["offset"] + s["size"]])
    note = ""
    if s["offset"] <= omg < s["offset"] + s["size"]:
        for a, b in written:  # as the file has them: blank
            got[omg - s["offset"] + a:omg - s["offset"] + b] = b"\xff" * (b - a)
        note = " (OMG fields aside)"
    ok = binascii.crc_hqx(bytes(got), 0) == s["crc"]
    matched += ok
    print("  section at 0x%06X, %6d bytes, crc 0x%04X: %s%s"
          % (s["offset"], s["size"], s["crc"], "matches" if ok else "DIFFERS", note))
print("flash holds the new OS: %d of %d sections match" % (matched, len(info["os_sections"])))

disk = (u32(flash, omg + 62) | 0x10000000) - base
heap = disk + 0x2000
chunk = heap + 16
final = [
    ("OMG num_chips", u16(flash, omg + 52), 1),
    ("OMG chip 0", (u16(flash, omg + 54) << 16) | u16(flash, omg + 56), 0x00898897),
    ("OMG disk_size", u32(flash, omg + 66), total - disk - 0x2000),
    ("heap2 size", u32(flash, heap + 2), total - heap),
    ("free chunk size word", u32(flash, chunk), (0xFF000000 | (total - chunk)) - 4),
    ("NULL at the end", u32(flash, total - 4), 0),
]
for name, got, want in final:
    print("  %-21s 0x%08X %s" % (name, got, "ok" if got == want else "WRONG, want 0x%08X" % want))
store_ok = all(got == want for _, got, want in final)
print("flash store finalised: %s" % ("yes" if store_ok else "NO"))

ram_ok = 0
for s in info["ram_sections"]:
    at = 512 * (s["sector"] + 1)
    ram_ok += ram[s["address"]:s["address"] + s["size"]] == raw[at:at + s["size"]]
print("RAM data installed: %d of %d sections match" % (ram_ok, len(info["ram_sections"])))
sys.exit(0 if matched == len(info["os_sections"]) and store_ok
         and ram_ok == len(info["ram_sections"]) else 1)
PY
