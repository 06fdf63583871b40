#!/usr/bin/env bash
# Creates the Wine prefix the Windows tests run in (once), with no first-run dialogs.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/wine-env.sh"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  DISPLAY= wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  echo "Wine prefix ready: $WINEPREFIX"
fi
# The tests' displays have no window manager: windows Wine left to one would make every
# hide or destroy wait two seconds for an answer that never comes.
if ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
  DISPLAY= wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wineserver -w
fi
