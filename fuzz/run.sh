#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time, sharing the time out evenly,
# each from a seed corpus made fresh for the run. Exits non-zero when a target finds a
# fault; the input that caused it is kept in BUILD_DIR/fuzz-artifacts.
# Usage: fuzz/run.sh BUILD_DIR SECONDS
set -uo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR SECONDS" >&2
  exit 2
fi
build=$(cd "$1" && pwd) || exit 2
seconds=$2

# Each target: its binary in the build, the function that writes its seeds into a folder,
# and the largest input worth trying.
targets=(update_file)
declare -A binary=([update_file]=fuzz/fuzz_update_file)
declare -A seeder=([update_file]=seed_update_file)
declare -A max_len=([update_file]=16384)

# The packet receiver: a whole packet, and one broken by a pause longer than the idle deadline
# followed by a packet with an empty body (control byte, then line bytes; see PacketFuzz.cpp).
targets+=(packet)
binary[packet]=fuzz/fuzz_packet
seeder[packet]=seed_packet
max_len[packet]=4096
seed_packet() {
  printf '\x04\x0f\xbe\xef\xed\x00\x00\x80\x00\x04\x01\x1f\x00\x02\x00\x33\xd1\x6f' >"$1/one"
  printf '\x04\x27\xbe\xef\xed\x00\x00\x80\x00\x04\xa7\x01\x1f\x00\x02\x00\x33\xd1\x6f\x0b\xbe\xef\xed\x00\x00\x8e\x00\x00\x02\x2a\x87\xf7' >"$1/split"
}

# Palm database files: a record database with AppInfo and SortInfo, a resource database, and
# an empty one (the header and the two zero bytes).
targets+=(palm_database)
binary[palm_database]=fuzz/fuzz_palm_database
seeder[palm_database]=seed_palm_database
max_len[palm_database]=4096
seed_palm_database() {
  python3 - "$1" <<'PY'
import struct, sys
def header(name, attributes, app, sort, kind, creator, count):
    return struct.pack('>32sHHIIIIII4s4sIIH', name, attributes, 1, 3124224000, 3124224000, 0, 7,
                       app, sort, kind, creator, 0, 0, count)
records = [b'one', b'', b'three']
at = 78 + 8 * len(records) + 2 + 4 + 2
entries = b''
for i, r in enumerate(records):
    entries += struct.pack('>IB3s', at, 0x40 | i, bytes([0, 0, i + 1]))
    at += len(r)
with open(sys.argv[1] + '/records.pdb', 'wb') as f:
    f.write(header(b'Memos', 0, 78 + 24 + 2, 78 + 24 + 6, b'DATA', b'memo', 3) + entries +
            b'\0\0' + b'appi' + b'so' + b''.join(records))
resources = [(b'code', 0, b'\0\0\0\x08'), (b'tSTR', 1000, b'Kestrel\0')]
at = 78 + 10 * len(resources) + 2
entries = b''
for kind, rid, data in resources:
    entries += struct.pack('>4sHI', kind, rid, at)
    at += len(data)
with open(sys.argv[1] + '/resources.prc', 'wb') as f:
    f.write(header(b'App', 1, 0, 0, b'appl', b'KApp', 2) + entries + b'\0\0' +
            b''.join(d for _, _, d in resources))
with open(sys.argv[1] + '/empty.prc', 'wb') as f:
    f.write(header(b'Empty', 1, 0, 0, b'rsrc', b'KEmp', 0) + b'\0\0')
PY
}

# Backup files the conduit finds on the desktop: the Palm database files above.
targets+=(backup_file)
binary[backup_file]=fuzz/fuzz_backup_file
seeder[backup_file]=seed_palm_database
max_len[backup_file]=4096

# What the virus scanners' update fetches: an update list, and a plug-in judged from its
# bytes (a small library of the Windows build when there is one beside, else a bare header).
targets+=(plugin_file)
binary[plugin_file]=fuzz/fuzz_plugin_file
seeder[plugin_file]=seed_plugin_file
max_len[plugin_file]=65536
seed_plugin_file() {
  printf 'VScanners.dll 2.0 http://127.0.0.1/VScanners.dll\n' >"$1/list"
  printf '<html><body>moved</body></html>\n' >"$1/page"
  python3 - "$1/pe" <<'PY'
import struct, sys
# A PE32 header with an empty optional header's directory: enough to reach every table check.
dos = b'MZ' + b'\0' * 58 + struct.pack('<I', 64)
coff = struct.pack('<HHIIIHH', 0x14C, 1, 0, 0, 0, 96 + 16, 0x2102)
optional = struct.pack('<H', 0x10B) + b'\0' * 90 + struct.pack('<I', 2) + b'\0' * 16
section = b'.text\0\0\0' + struct.pack('<IIIIIIHHI', 16, 0x1000, 16, 512, 0, 0, 0, 0, 0)
image = dos + b'PE\0\0' + coff + optional + section
open(sys.argv[1], 'wb').write(image + b'\0' * (528 - len(image)))
PY
}

# The conduit's settings archive: the defaults, a file of the oldest schema, and one with
# lists and strings in their long forms.
targets+=(smprefs)
binary[smprefs]=fuzz/fuzz_smprefs
seeder[smprefs]=seed_smprefs
max_len[smprefs]=4096
seed_smprefs() {
  python3 - "$1" <<'PY'
import struct, sys
def header(schema):
    return struct.pack('<HHH', 0xFFFF, schema, 8) + b'CSMPrefs'
def text(s):
    return (bytes([len(s)]) if len(s) < 255 else b'\xff' + struct.pack('<H', len(s))) + s
def texts(items):
    return struct.pack('<H', len(items)) + b''.join(text(s) for s in items)
def words(*values):
    return struct.pack('<%dI' % len(values), *values)
rows6 = words(1, 0) + texts([]) + words(0, 0, 0)
rows14 = rows6 + words(0, 0, 0, 0) + texts([]) + words(0, 0) + texts([])
defaults = rows14 + words(0, 0, 0, 0, 1, 604800, 10, 0, 0) + text(b'') * 4
long = (words(7, 8) + texts([b'', b'x', b'y' * 300]) + words(1, 2, 3, 4, 5, 6, 7) +
        texts([b'b']) + words(8, 9) + texts([b'c' * 255]) +
        words(1, 1, 1, 13, 1, 86400, 1700000000, 1, 18) +
        text(b'proxy.example') + text(b'k' * 256) + text(b'8080') + text(b'L'))
for name, data in (('defaults', header(0x0102) + defaults), ('rows6', header(0x0100) + rows6),
                   ('long', header(0x0102) + long)):
    with open('%s/%s.prf' % (sys.argv[1], name), 'wb') as f:
        f.write(data)
PY
}

# Small update files, valid and broken in every way mkupd knows.
seed_update_file() {
  local dir=$1 mkupd=$build/sim/mkupd/mkupd
  cat >"$dir/small.txt" <<'DESC'
device 11
minor 4
finalise 1
os 0 pattern 1 300
os 0x10000 pattern 2 100
ram 0x1000 pattern 3 700
DESC
  printf 'device 7\nminor 2\n' >"$dir/empty.txt"
  "$mkupd" "$dir/empty.txt" "$dir/empty.upd" || return 1
  "$mkupd" "$dir/small.txt" "$dir/small.upd" || return 1
  local kind
  for kind in $("$mkupd" --list-breaks); do
    "$mkupd" "$dir/small.txt" "$dir/small-$kind.upd" --break "$kind" || return 1
  done
  rm -f "$dir"/*.txt
}

per_target=$((seconds / ${#targets[@]}))
[ "$per_target" -ge 1 ] || per_target=1
mkdir -p "$build/fuzz-artifacts"
failed=0
for t in "${targets[@]}"; do
  seeds=$build/fuzz-seeds/$t corpus=$build/fuzz-corpus/$t
  rm -rf "$seeds" && mkdir -p "$seeds" "$corpus"
  if ! "${seeder[$t]}" "$seeds"; then
    echo "fuzz $t: could not make the seed corpus"
    failed=1
    continue
  fi
  echo "fuzz $t: ${per_target}s from $(ls "$seeds" | wc -l) seeds"
  if "$build/${binary[$t]}" -max_total_time="$per_target" -max_len="${max_len[$t]}" \
      -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$build/fuzz-artifacts/$t-" "$corpus" "$seeds"; then
    echo "fuzz $t: no fault found"
  else
    echo "fuzz $t: FAULT (see $build/fuzz-artifacts)"
    failed=1
  fi
done
exit "$failed"
