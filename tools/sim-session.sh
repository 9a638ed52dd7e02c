# Sourced by the scripts that need a recorder for a while: starts the recorder
# simulator in a new temporary folder, makes that the working folder, and
# stops the simulator and removes the folder when the script exits.
#   . tools/sim-session.sh
#   sim_session SIM_BINARY NAME [SIMULATOR OPTIONS...]
# sets `work` (the folder, /tmp/NAME.XXXXXX) and `port` (the pty, /dev/pts/N).
sim_session() {
  local sim=$1 name=$2
  shift 2
  work=$(mktemp -d "/tmp/$name.XXXXXX")
  sim_pid=
  trap 'if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
  cd "$work"
  "$sim" "$@" >sim.out 2>sim.err &
  sim_pid=$!
  for _ in $(seq 100); do [ -s sim.out ] && break; sleep 0.1; done
  port=$(head -n 1 sim.out)
  [ -n "$port" ] || { echo "the simulator did not start:" >&2; cat sim.err >&2; exit 1; }
}
