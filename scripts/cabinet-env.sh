# The cabinet simulator's set-up and clean-up for the scripts that run the plug-in against it
# (demo.sh, shapes.sh, soak.sh); sourced from the repository's top folder, never run.
#   cabinet_env NAME [keep]   work folder $work (/tmp/qiraoid-NAME.XXXXXX), simulator state in $cab;
#                             on exit, stops what the script left running in the background and the
#                             simulator, and removes $work unless "keep" is given
#   cabinet_start ARGS...     starts the simulator (cabinet/cabinet start ARGS); sets $cabinet_ready
#                             (its line) and $agent (its address)
#   cabinet_relay ARGS...     starts the test relay in front of it (udp_relay ARGS), its lines in
#                             $work/relay; sets $relay (its address) and $relay_pid

cabinet_env() {
  work=$(mktemp -d "/tmp/qiraoid-$1.XXXXXX")
  cab=$work/cabinet
  cabinet_keep_work=${2:-}
  trap cabinet_cleanup EXIT
}

cabinet_cleanup() {
  local pid
  for pid in $(jobs -p); do kill -TERM "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  cabinet/cabinet stop --dir "$cab" >/dev/null 2>&1 || true
  [[ $cabinet_keep_work == keep ]] || rm -rf "$work"
}

cabinet_start() {
  cabinet_ready=$(cabinet/cabinet start --dir "$cab" "$@")
  agent=$(grep -o 'udp:127\.0\.0\.1:[0-9]*' <<<"$cabinet_ready")
}

cabinet_relay() {
  build/native/tests/support/udp_relay "$@" >"$work/relay" &
  relay_pid=$!
  until [[ -s $work/relay ]]; do sleep 0.1; done
  relay=$(head -n 1 "$work/relay")
}
