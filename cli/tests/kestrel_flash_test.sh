#!/usr/bin/env bash
# kestrel-flash on files made by mkupd: output and exit status of verify and info, valid and
# broken files, the JSON form, usage errors.
# Usage: kestrel_flash_test.sh KESTREL_FLASH MKUPD WORKDIR
set -uo pipefail
kf=$1 mkupd=$2 work=$3
rm -rf "$work" && mkdir -p "$work" || exit 1
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect NAME STATUS EXPECTED_STDOUT -- COMMAND...: exact stdout and exit status.
expect() {
  local name=$1 status=$2 want=$3
  shift 4
  local got rc
  got=$("$@" 2>"$work/stderr")
  rc=$?
  [ "$rc" = "$status" ] || fail "$name: exit $rc, wanted $status"
  [ "$got" = "$want" ] || fail "$name: printed '$got', wanted '$want'"
}

"$mkupd" --sample "$work/sample.upd" || fail "mkupd --sample"
cat >"$work/desc.txt" <<'DESC'
# minor 4 with the finalise flag set
device 0x0F
minor 4
finalise 1
set32 0x20FFC 0x01020304   # applies once the sections below are known
os 0x20000 file data.bin   # relative to this file
os 0 pattern 9 100
set16 0x20000 0xBEEF
fill 0x20002 3 0xA5
ram 0x1000 pattern 3 4097
DESC
head -c 5000 /dev/zero | tr '\0' 'K' >"$work/data.bin"
"$mkupd" "$work/desc.txt" "$work/desc.upd" || fail "mkupd with a description"
printf 'os 12 pattern 1\n' >"$work/bad.txt"
"$mkupd" "$work/bad.txt" "$work/bad.upd" 2>"$work/stderr"
[ $? = 1 ] && grep -q 'line 1' "$work/stderr" || fail "mkupd names the bad description line"
# Values must land inside one section's data: not past its end, not in its padding.
for patch in 'set32 0x62 1' 'set16 0x1000 1' 'fill 0x50 0x15 0' 'set16 0 0x10000'; do
  printf 'os 0 pattern 1 100\n%s\n' "$patch" >"$work/bad.txt"
  "$mkupd" "$work/bad.txt" "$work/bad.upd" 2>"$work/stderr"
  [ $? = 1 ] && grep -q 'line 2' "$work/stderr" || fail "mkupd takes '$patch'"
done

expect "verify sample" 0 "OK" -- "$kf" verify "$work/sample.upd"
expect "verify described" 0 "OK" -- "$kf" verify "$work/desc.upd"
expect "verify missing" 1 "error -308: Unable to open update file" -- "$kf" verify "$work/none.upd"

# Every kind of broken file: what verify says of it.
while read -r kind status text; do
  "$mkupd" --sample "$work/$kind.upd" --break "$kind" || fail "mkupd --break $kind"
  expect "verify $kind" "$status" "$text" -- "$kf" verify "$work/$kind.upd"
done <<'KINDS'
signature 1 error -304: Invalid update file file
signature-unterminated 1 error -304: Invalid update file file
map-signature 1 error -304: Invalid update file file
major2 1 error -305: Update file version error
crc 1 error -303: Update file CRC error
osmap1 1 error -304: Invalid update file file
osmap2 1 error -304: Invalid update file file
osmap3 1 error -304: Invalid update file file
osmap5 1 error -304: Invalid update file file
truncated 1 error -301: Update file read error
os-count 1 error -304: Invalid update file file
ram-count 1 error -304: Invalid update file file
ram-map-short 1 error -304: Invalid update file file
sectors0 1 error -310: Update file sectors do not cover its maps and data
section-crc 1 error -311: Update file section checksum error
overlap 1 error -312: Update file OS sections overlap
ram-wrap 1 error -313: Update file RAM data lies outside the handheld's RAM
KINDS

# The device code counts in all 16 bits: 267 is no 11.
printf 'device 267\nos 0 pattern 1 100\n' >"$work/dev267.txt"
"$mkupd" "$work/dev267.txt" "$work/dev267.upd" || fail "mkupd device 267"
expect "verify device 267" 1 \
  "refused: This OS update is not for use with a Halvex device. (the file is for device 267)" \
  -- "$kf" verify "$work/dev267.upd"
# What is not a regular file is refused at once, not read for ever.
mkfifo "$work/fifo.upd"
expect "verify a FIFO" 1 "error -308: Unable to open update file" -- \
  timeout 10 "$kf" verify "$work/fifo.upd"
expect "verify a device" 1 "error -308: Unable to open update file" -- \
  timeout 10 "$kf" verify /dev/zero

# JSON: parsed by Python, keys and values checked, and every OS section's CRC recomputed
# from the file's bytes (binascii.crc_hqx is CRC-16/XMODEM).
check_json() {
  local name=$1 file=$2 script=$3
  "$kf" info --json "$file" >"$work/out.json" || fail "$name: info exit $?"
  python3 -c 'import json,sys; json.load(sys.stdin)' <"$work/out.json" || fail "$name: not JSON"
  python3 - "$work/out.json" "$file" <<PY || fail "$name: $(cat "$work/out.json")"
import binascii, json, sys
d = json.load(open(sys.argv[1]))
raw = open(sys.argv[2], "rb").read() if "none" not in sys.argv[2] else b""
base = {"verify", "check", "device", "halvex", "version_major", "version_minor", "sectors",
        "finalise", "os_size", "ram_size", "os_sections", "ram_sections"}
extra = set(d) - base
assert base <= set(d) and extra <= {"os_map_error", "ram_map_error"}, sorted(d)
assert isinstance(d["finalise"], bool)
for s in d["os_sections"] or []:
    at = 512 * (s["sector"] + 1)
    assert binascii.crc_hqx(raw[at:at + s["size"]], 0) == s["crc"], s
$script
PY
}

check_json "sample" "$work/sample.upd" '
assert (d["verify"], d["device"], d["version_major"], d["version_minor"]) == (0, 11, 1, 3)
assert d["check"] == 0 and d["halvex"] is True
assert d["finalise"] is True and d["sectors"] == len(raw) // 512 - 1
os = d["os_sections"]
assert [s["offset"] for s in os] == [0, 0x10000, 0x20000, 0x30000]
assert d["os_size"] == 0x30000 + 0x2345 and d["ram_size"] == 1000
assert d["ram_sections"][0]["address"] == 0x20000 and "os_map_error" not in d
# What the flash store finalisation needs: a reset vector into the OS, and at its 4 KiB page
# an OMG whose filled-in fields are blank, with disk_start past every section.
data = lambda s: raw[512 * (s["sector"] + 1):][:s["size"]]
vector = int.from_bytes(data(os[0])[0x8004:0x8008], "big")
assert vector == 0x10C20100, hex(vector)
omg = data(os[2])[:176]
assert omg[52:62] == b"\xff" * 10 and omg[66:176] == b"\xff" * 110
disk = int.from_bytes(omg[62:66], "big") - 0x10C00000
assert disk == 0x40000 and all(s["offset"] + s["size"] <= disk for s in os)'
check_json "described" "$work/desc.upd" '
assert d["device"] == 15 and d["version_minor"] == 4 and d["finalise"] is True
assert d["os_size"] == 0x20000 + 5000 and d["ram_size"] == 4097
os = d["os_sections"]
at = 512 * (os[0]["sector"] + 1)
assert raw[at:at + 5000] == b"\xbe\xef\xa5\xa5\xa5" + b"K" * 4087 + b"\x01\x02\x03\x04" + b"K" * 904
assert os[1]["sector"] - os[0]["sector"] == 16   # 5000 bytes take two 4096-byte blocks
ram = d["ram_sections"][0]
assert ram["sector"] - os[1]["sector"] == 8 and len(raw) // 512 - (ram["sector"] + 1) == 9'
check_json "osmap3" "$work/osmap3.upd" '
assert d["verify"] == 0 and d["os_sections"] is None and d["os_map_error"] == -304
assert d["check"] == -304
assert d["os_size"] == 0 and len(d["ram_sections"]) == 1'
check_json "ram-map-short" "$work/ram-map-short.upd" '
assert d["ram_sections"] is None and d["ram_map_error"] == -304 and d["ram_size"] == 0'
check_json "crc" "$work/crc.upd" '
assert d["verify"] == -303 and d["os_map_error"] == -303 and d["ram_map_error"] == -303
assert d["device"] == 11 and d["version_minor"] == 3'
check_json "missing" "$work/none.upd" '
assert d["verify"] == -308 and d["device"] == 0 and d["version_major"] is None
assert d["os_sections"] is None and d["ram_sections"] is None and d["finalise"] is False'

"$kf" info "$work/sample.upd" >"$work/out.txt" || fail "info text exit $?"
for line in 'verify:       0 (SUCCESS)' 'check:        0 (SUCCESS)' 'device:       11 (Halvex)' \
    'version:      1.3' 'finalise:     yes' \
    'os sections:  4' 'ram sections: 1'; do
  grep -qxF "$line" "$work/out.txt" || fail "info text lacks '$line'"
done
"$kf" info "$work/osmap5.upd" | grep -qxF 'os sections:  error -304: Invalid update file file' ||
  fail "info text shows the OS map error"

# Usage errors: exit 2, a message on stderr and nothing on stdout.
for args in "" "verify" "verify a b" "info" "info --bogus x" "info a b" "frobnicate"; do
  # shellcheck disable=SC2086
  expect "usage '$args'" 2 "" -- "$kf" $args
  [ -s "$work/stderr" ] || fail "usage '$args': no message on stderr"
done
expect "help" 0 "$("$kf" help)" -- "$kf" --help

# flash: the options, and the update file judged before any port is opened (the ports named
# here do not exist, so a run that got that far would say so instead).
for args in "flash" "flash x.upd" "flash --port" "flash --port /dev/null" \
    "flash --port p a.upd b.upd" "flash --port p --loader l.prc a.upd" \
    "flash --port p --timeout 0 a.upd" "flash --port p --timeout 2s a.upd" \
    "flash --port p --bogus a.upd" "flash --port p --yes=1 a.upd" \
    "flash --port p --port q a.upd" "flash --port p --yes --yes a.upd" \
    "flash --port p --log= a.upd" "flash --port= a.upd"; do
  # shellcheck disable=SC2086
  expect "usage '$args'" 2 "" -- "$kf" $args
  [ -s "$work/stderr" ] || fail "usage '$args': no message on stderr"
done
# One rule for every command: a word per field of each row, an option given twice or a switch
# given a value refused by info and verify as by flash.
while IFS='|' read -r -a args; do
  expect "usage '${args[*]}'" 2 "" -- "$kf" "${args[@]}"
  [ -s "$work/stderr" ] || fail "usage '${args[*]}': no message on stderr"
done <<'ROWS'
info|--json|--json|sample.upd
info|--json=|sample.upd
verify|--json|sample.upd
verify|-v|sample.upd
info|--|--json|sample.upd
ROWS
# A number is digits only: blanks, a sign or anything after it are refused with one message,
# whichever way the value is given.
for value in ' 5' '5 ' '+5' '-5' '0x5' '5s' '5.0' '0' '86401' '99999999999999999999'; do
  for form in separate inline; do
    if [ $form = separate ]; then set -- --timeout "$value"; else set -- "--timeout=$value"; fi
    expect "--timeout '$value' ($form)" 2 "" -- "$kf" flash --port p "$@" a.upd
    [ "$(head -n 1 "$work/stderr")" = \
      "kestrel-flash flash: --timeout needs whole seconds from 1 to 86400, not '$value'" ] ||
      fail "--timeout '$value' ($form): $(head -n 1 "$work/stderr")"
  done
done
# ... and a good one passes, to the port check.
expect "--timeout 007" 1 "" -- "$kf" flash --port /nonexistent --timeout 007 "$work/sample.upd"
# "--" ends the options: what follows is the file, whatever it looks like.
cp "$work/sample.upd" "$work/-s.upd"
expect "verify -- -s.upd" 0 "OK" -- bash -c 'cd "$1" && "$2" verify -- -s.upd' _ "$work" "$kf"

# expect_flash NAME STDERR_LAST_LINE ARGS...: a refused flash, exit 1, nothing on stdout.
expect_flash() {
  local name=$1 want=$2
  shift 2
  expect "flash $name" 1 "" -- "$kf" flash "$@"
  local last
  last=$(tail -n 1 "$work/stderr")
  [ "$last" = "$want" ] || fail "flash $name: ended with '$last', wanted '$want'"
}
printf 'device 3\nos 0 pattern 1 100\n' >"$work/dev3.txt"
"$mkupd" "$work/dev3.txt" "$work/dev3.upd" || fail "mkupd device 3"
expect_flash "broken file" "error -303: Update file CRC error" --port /nonexistent "$work/crc.upd"
expect_flash "missing file" "error -308: Unable to open update file" --port /nonexistent \
  "$work/none.upd"
expect_flash "other maker" \
  "kestrel-flash flash: This OS update is not for use with a Halvex device. (the file is for device 3)" \
  --port /nonexistent "$work/dev3.upd"
expect_flash "missing loader" "error -1002: File read error" --port /nonexistent --advanced \
  --loader "$work/none.prc" "$work/sample.upd"
head -c 32769 /dev/zero >"$work/big.prc"
expect_flash "loader too big" "error -1002: File read error" --port /nonexistent --advanced \
  --loader "$work/big.prc" "$work/sample.upd"
expect_flash "missing port" "kestrel-flash flash: no such device: /nonexistent" \
  --port /nonexistent "$work/sample.upd"
expect_flash "a file for a port" "kestrel-flash flash: $work/sample.upd is not a serial device" \
  --port "$work/sample.upd" "$work/sample.upd"
# What is no serial device says so, rather than that another program holds it.
expect_flash "not a terminal" "kestrel-flash flash: /dev/null is not a serial device" \
  --port /dev/null "$work/sample.upd"
mkfifo "$work/line"
expect_flash "a FIFO for a port" "kestrel-flash flash: $work/line is not a serial device" \
  --port "$work/line" "$work/sample.upd"
expect_flash "a directory for a port" "kestrel-flash flash: $work is not a serial device" \
  --port "$work" "$work/sample.upd"
# Opening the multiplexer makes a fresh pseudo-terminal with nobody at its far end, where the
# flash would wait out its time-out: refused before anything is opened.
multiplexer() {
  echo "kestrel-flash flash: $1 is the pseudo-terminal multiplexer or a master side, not a serial device: opening it makes a new pseudo-terminal with nothing at its far end; give the device the handheld is on (such as /dev/ttyUSB0, or the /dev/pts/N palmsim prints)"
}
ln -s /dev/ptmx "$work/modem"
for port in /dev/ptmx "$work/modem"; do
  expect_flash "$port" "$(multiplexer "$port")" --port "$port" --timeout 1 "$work/sample.upd"
done
if [ -e /dev/tty ]; then
  expect_flash "the controlling terminal" \
    "kestrel-flash flash: /dev/tty stands for another terminal (this session's or the console), not a serial device; give the device the handheld is on" \
    --port /dev/tty --timeout 1 "$work/sample.upd"
fi
# Damage the header's CRC does not see is refused before any port is opened, too.
for kind in sectors0 section-crc overlap ram-wrap; do
  expect_flash "$kind" "$("$kf" verify "$work/$kind.upd")" --port /nonexistent "$work/$kind.upd"
done

if [ "$failures" = 0 ]; then echo "kestrel-flash: all checks passed"; fi
[ "$failures" = 0 ]
