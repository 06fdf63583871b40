# Test equipment for shell scripts: palmsim started and ended by its process id. Source it;
# it defines two functions and sets nothing else.
#
# palmsim_start PALMSIM DIR ARGS...
#   starts PALMSIM with ARGS in the background, its standard output read through DIR/sim.out
#   and its standard error kept in DIR/sim.err; sets palmsim_pid and palmsim_pty (the serial
#   device it serves). Fails, with palmsim's errors shown, when no device is named in 10 s.
# palmsim_stop
#   TERM (palmsim then writes its state directory) and waits; palmsim's exit status.

palmsim_start() {
  local program=$1 dir=$2
  shift 2
  rm -f "$dir/sim.out" && mkfifo "$dir/sim.out" || return 1
  "$program" "$@" >"$dir/sim.out" 2>"$dir/sim.err" &
  palmsim_pid=$!
  exec 8<"$dir/sim.out"
  if ! read -r -t 10 palmsim_pty <&8; then
    cat "$dir/sim.err" >&2
    palmsim_stop >/dev/null 2>&1
    return 1
  fi
}

palmsim_stop() {
  [ -n "${palmsim_pid:-}" ] || return 0
  local status=0
  kill -TERM "$palmsim_pid" 2>/dev/null
  wait "$palmsim_pid" || status=$?
  palmsim_pid=
  exec 8<&-
  return "$status"
}
