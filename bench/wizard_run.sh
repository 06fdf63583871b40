#!/usr/bin/env bash
# The wizard's flash benchmark: builds what it needs, then flashes one update file onto a blank
# simulated handheld (palmsim in its ROM debugger, paced at the line speed, behind the wire tap
# that counts the bytes) twice: through kestrel-flash natively, and through the wizard under
# Wine (Kestrelup.exe -H, advanced mode, driven by bench/wizard_bench_win32.cpp on the scenario
# tests' desk, with a prober timing the upload page's answers and the abort button). It also
# watches the HotSync page's connect timer in normal mode. Prints the figures and the
# wizard/kestrel-flash ratio. A full 4 MiB run takes some 15 minutes.
#
# Options: --size N      bytes of OS image (4M; e.g. 256K for a quick look), a multiple of 4K
#          --skip PART   leave out kestrel-flash, upload or hotsync (may be repeated)
# KESTREL_BUILD_DIR: the optimised native build (build/release); KESTREL_WINDOWS_BUILD: the
# Windows build (build/windows, or build/windows64 on the 64-bit Windows road, see
# scripts/windows-road.sh); KESTREL_WINEPREFIX: the Wine prefix (see scripts/wine-env.sh).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
native="${KESTREL_BUILD_DIR:-$root/build/release}"
source "$root/scripts/windows-road.sh"
preset=$([ "$KESTREL_WINDOWS_ARCH" = 64 ] && echo windows64 || echo windows)
windows="${KESTREL_WINDOWS_BUILD:-$root/build/$preset}"
size=4M
declare -A skip=()
while [ $# -gt 0 ]; do
  case $1 in
  --size) size=${2:?--size needs a value}; shift 2 ;;
  --skip) skip[${2:?--skip needs a part}]=1; shift 2 ;;
  -h | --help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  *) echo "wizard_run: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done

bytes() {  # 4M, 256K, 0x1000 -> bytes
  local text=$1 unit=1
  case $text in
  *[Kk]) unit=1024; text=${text%?} ;;
  *[Mm]) unit=1048576; text=${text%?} ;;
  esac
  echo $((text * unit))
}
image=$(bytes "$size")
section=$((64 * 1024))
if [ "$image" -le 0 ] || [ $((image % 4096)) -ne 0 ] || [ $(((image + section - 1) / section)) -gt 100 ]; then
  echo "wizard_run: --size must be a multiple of 4K, at most 6400K" >&2
  exit 2
fi

cd "$root"
echo "building (native: $native, Windows: $windows) ..."
cmake --preset release -B "$native" >/dev/null
cmake --build "$native" --target palmsim mkupd kestrel-flash wire_tap >/dev/null
cmake --preset "$preset" -B "$windows" >/dev/null
cmake --build "$windows" --target wizard_bench >/dev/null

run="$windows/bench/run"
rm -rf "$run"
mkdir -p "$run/files" "$run/reference" "$run/world/sim/mkupd" "$run/world/cli/sys"
loader="$native/cli/sys/Bootlet.prc"
upd="$run/files/bench.upd"

# Every section differs from a blank flash and from every other; minor 2: no flash-store
# finalisation, so the figures are the flash alone.
{
  printf 'device 11\nminor 2\n'
  seed=1
  for ((offset = 0; offset < image; offset += section)); do
    length=$((image - offset < section ? image - offset : section))
    printf 'os 0x%x pattern %d 0x%x\n' "$offset" "$seed" "$length"
    seed=$((seed + 1))
  done
} >"$run/files/bench.txt"
"$native/sim/mkupd/mkupd" "$run/files/bench.txt" "$upd" >/dev/null

# The world wizard_world.sh serves from: palmsim is the wire tap in front of the real one.
cat >"$run/world/sim/palmsim" <<EOF
#!/usr/bin/env bash
exec "$native/bench/wire_tap" --palmsim "$native/sim/palmsim" --tally "\${KESTREL_WIRE_TALLY:?}" -- "\$@"
EOF
chmod +x "$run/world/sim/palmsim"
ln -s "$native/sim/mkupd/mkupd" "$run/world/sim/mkupd/mkupd"
ln -s "$loader" "$run/world/cli/sys/Bootlet.prc"

echo "update file: $((image / 1024)) KiB of OS in $(((image + section - 1) / section)) sections, line at 115200 bit/s once the loader answers"
echo "handheld: palmsim --mode debugger (paced), its default flash chips, behind the wire tap"

source "$root/testing/palmsim.sh"
trap 'palmsim_stop >/dev/null 2>&1 || true' EXIT

value() { awk -v name="$1" '$1 == name { print $2 }' "$2" | tail -n 1; }

if [ -z "${skip[kestrel-flash]:-}" ]; then
  ref=$run/reference
  export KESTREL_WIRE_TALLY=$ref/wire.txt
  palmsim_start "$run/world/sim/palmsim" "$ref" --state "$ref/handheld" --mode debugger
  status=0
  TIMEFORMAT='%3R %3U %3S'
  { time "$native/cli/kestrel-flash" flash --port "$palmsim_pty" --advanced --high-speed \
      --loader "$loader" "$upd" >"$ref/out.txt" 2>"$ref/err.txt"; } 2>"$ref/time.txt" || status=$?
  palmsim_stop >/dev/null || true
  read -r kf_wall kf_user kf_sys <"$ref/time.txt"
  kf_bound=$(value bound_s "$ref/wire.txt")
  echo
  echo "kestrel-flash (native) flash --advanced --high-speed, process start to end"
  if [ "$status" != 0 ]; then
    echo "  FAILED with status $status:"
    tail -n 5 "$ref/err.txt" | sed 's/^/    /'
  fi
  awk -v wall="$kf_wall" -v user="$kf_user" -v sys="$kf_sys" -v bound="$kf_bound" 'BEGIN {
    printf "  wall time: %.3f s\n  wire-time bound: %.3f s; ratio %.4f\n", wall, bound, wall / bound
    printf "  CPU (user+sys): %.3f s = %.2f %% of the wall time\n", user + sys, 100 * (user + sys) / wall }'
  sed 's/^/  bytes on the line: /' <(awk '$1 == "speed" { printf "%sat %s: %s out, %s in", sep, $2, $4, $6; sep = "; " } END { print "" }' "$ref/wire.txt")
fi

work=$run/wizard
tests=()
[ -z "${skip[upload]:-}" ] && tests+=("Wizard.Upload")
[ -z "${skip[hotsync]:-}" ] && tests+=("Wizard.HotSyncPage")
if [ ${#tests[@]} -gt 0 ]; then
  winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
  filter=$(IFS=:; echo "${tests[*]}")
  export KESTREL_WIRE_TALLY=$work/wire.txt
  status=0
  "$root/scripts/with-display" bash -c '
    source "$1/scripts/wine-env.sh"
    wineserver -p 2>/dev/null
    wine cmd /c exit </dev/null >/dev/null 2>&1
    bash "$1/tests/e2e/wizard/wizard_world.sh" "${@:2}"
    status=$?
    wineserver -k 2>/dev/null
    exit $status' _ "$root" "$windows/tests/e2e/wizard/wizard_bench.exe" "$run/world" "$work" \
    --gtest_filter="$filter" --update "$(winpath "$upd")" \
    --results "$(winpath "$work/results.txt")" || status=$?
  if [ -z "${skip[kestrel-flash]:-}" ] && [ -z "${skip[upload]:-}" ] && [ -e "$work/results.txt" ]; then
    wizard_wall=$(value wizard_wall_s "$work/results.txt")
    awk -v wizard="$wizard_wall" -v kf="$kf_wall" 'BEGIN {
      ratio = wizard / kf
      printf "\nWizard / kestrel-flash wall time: %.3f s / %.3f s = %.4f (%+.2f %%); goal within 2 %% -> %s\n",
        wizard, kf, ratio, 100 * (ratio - 1), ratio <= 1.02 ? "met" : "MISSED" }'
  fi
  exit "$status"
fi
