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
os 0x20000 file data.bin   # relative to this file
os 0 pattern 9 100
ram 0x1000 pattern 3 4097
DESC
head -c 5000 /dev/zero | tr '\0' 'K' >"$work/data.bin"
"$mkupd" "$work/desc.txt" "$work/desc.upd" || fail "mkupd with a description"
printf 'os 12 pattern 1\n' >"$work/bad.txt"
"$mkupd" "$work/bad.txt" "$work/bad.upd" 2>"$work/stderr"
[ $? = 1 ] && grep -q 'line 1' "$work/stderr" || fail "mkupd names the bad description line"

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
map-signature 0 OK
major2 1 error -305: Update file version error
crc 1 error -303: Update file CRC error
osmap1 0 OK
osmap2 0 OK
osmap3 0 OK
osmap5 0 OK
truncated 1 error -301: Update file read error
os-count 0 OK
ram-count 0 OK
ram-map-short 0 OK
KINDS

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
base = {"verify", "device", "version_major", "version_minor", "sectors", "finalise",
        "os_size", "ram_size", "os_sections", "ram_sections"}
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
assert d["finalise"] is True and d["sectors"] == len(raw) // 512 - 1
assert [s["offset"] for s in d["os_sections"]] == [0, 0x10000, 0x30000]
assert d["os_size"] == 0x30000 + 0x2345 and d["ram_size"] == 1000
assert d["ram_sections"][0]["address"] == 0x20000 and "os_map_error" not in d'
check_json "described" "$work/desc.upd" '
assert d["device"] == 15 and d["version_minor"] == 4 and d["finalise"] is True
assert d["os_size"] == 0x20000 + 5000 and d["ram_size"] == 4097
os = d["os_sections"]
assert raw[512 * (os[0]["sector"] + 1):][:5000] == b"K" * 5000
assert os[1]["sector"] - os[0]["sector"] == 16   # 5000 bytes take two 4096-byte blocks
ram = d["ram_sections"][0]
assert ram["sector"] - os[1]["sector"] == 8 and len(raw) // 512 - (ram["sector"] + 1) == 9'
check_json "osmap3" "$work/osmap3.upd" '
assert d["verify"] == 0 and d["os_sections"] is None and d["os_map_error"] == -304
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
for line in 'verify:       0 (SUCCESS)' 'version:      1.3' 'finalise:     yes' \
    'os sections:  3' 'ram sections: 1'; do
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

if [ "$failures" = 0 ]; then echo "kestrel-flash: all checks passed"; fi
[ "$failures" = 0 ]
