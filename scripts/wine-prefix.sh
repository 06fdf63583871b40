#!/usr/bin/env bash
# Creates the Wine prefix the Windows tests run in (once), with no first-run dialogs.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/wine-env.sh"
[ -f "$WINEPREFIX/system.reg" ] && exit 0
mkdir -p "$WINEPREFIX"
DISPLAY= wineboot -i >/dev/null 2>&1 || true
wineserver -w
echo "Wine prefix ready: $WINEPREFIX"
