# Sourced: the environment every Wine run of the kit uses.
kestrel_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${KESTREL_WINEPREFIX:-${KESTREL_BUILD:-$kestrel_root/build}/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32
