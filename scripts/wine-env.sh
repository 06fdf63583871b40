# Sourced: the environment every Wine run of the kit uses, on the Windows road this machine
# takes (scripts/windows-road.sh): the 32-bit road in the prefix build/wineprefix, the 64-bit
# road in build/wineprefix64 with Wine's 64-bit programs first on the PATH. KESTREL_WINEPREFIX
# names another prefix.
kestrel_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$kestrel_root/scripts/windows-road.sh"
if [ "$KESTREL_WINDOWS_ARCH" = 64 ]; then
  export WINEARCH=win64
  export WINEPREFIX=${KESTREL_WINEPREFIX:-${KESTREL_BUILD:-$kestrel_root/build}/wineprefix64}
  case ":$PATH:" in
    *":$kestrel_root/scripts/wine64-bin:"*) ;;
    *) export PATH="$kestrel_root/scripts/wine64-bin:$PATH" ;;
  esac
  # The Windows build whose programs this road runs, and its preset.
  export KESTREL_WINDOWS_PRESET=windows64
else
  export WINEARCH=win32
  export WINEPREFIX=${KESTREL_WINEPREFIX:-${KESTREL_BUILD:-$kestrel_root/build}/wineprefix}
  export KESTREL_WINDOWS_PRESET=windows
fi
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
