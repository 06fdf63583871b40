#!/usr/bin/env bash
# The kit's main job on its simulated world, from a fresh machine: set up, build the Linux
# tools, make a sample OS update file and check it the way the wizard does before it
# touches a handheld.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"

"$here/scripts/setup.sh"
cmake --preset release -Wno-dev >/dev/null
cmake --build --preset release --target mkupd kestrel-flash >/dev/null

bin=$here/build/release
work=$here/build/demo
mkdir -p "$work"
upd=$work/SAMPLE.UPD

echo "== mkupd: building a sample update file"
"$bin/sim/mkupd" --sample "$upd"

echo
echo "== kestrel-flash verify $upd"
"$bin/cli/kestrel-flash" verify "$upd"

echo
echo "== kestrel-flash info $upd"
"$bin/cli/kestrel-flash" info "$upd"
