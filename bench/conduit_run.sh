#!/usr/bin/env bash
# The conduit's benchmark: builds what it needs, then runs conduit_bench under Wine on a
# display of its own, on this machine's Windows road (scripts/windows-road.sh): stashmate.dll
# backs a handheld of 200 databases, 8 MiB in all, up twice, through the stand-ins of HotSync
# Manager's libraries, which answer at once. Prints the figures and whether the goals are met.
#
# Usage: bench/conduit_run.sh [DATABASES [MIB]]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/wine-env.sh"
cd "$root"
echo "building ($KESTREL_WINDOWS_PRESET) ..."
cmake --preset "$KESTREL_WINDOWS_PRESET" -Wno-dev >/dev/null
cmake --build --preset "$KESTREL_WINDOWS_PRESET" --target conduit_bench >/dev/null
"$root/scripts/wine-prefix.sh" >/dev/null
"$root/scripts/with-display" bash -c '
  wineserver -p 2>/dev/null
  wine cmd /c exit </dev/null >/dev/null 2>&1
  wine "$@"
  status=$?
  wineserver -k 2>/dev/null
  exit $status' _ "$root/build/$KESTREL_WINDOWS_PRESET/tests/e2e/wizard/conduit_bench.exe" "$@"
