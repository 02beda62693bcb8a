#!/usr/bin/env bash
# Shows what the bulk request shape buys on a slow link: starts the cabinet simulator behind the
# test relay (every datagram delayed by DELAY ms each way, default 1), then times one round of
# the plug-in in the runner with one binding per request and with max_repetitions 100.
# usage: scripts/shapes.sh [DELAY_MS]
set -euo pipefail
cd "$(dirname "$0")/.."
delay_ms=${1:-1}

scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target snmp_qiraoid zrmhost udp_relay_tool >/dev/null

source scripts/cabinet-env.sh
cabinet_env shapes
cabinet_start --address 4
cabinet_relay --agent-port "${agent##*:}" --delay-ms "$delay_ms"

echo "one round through a link delaying each datagram by ${delay_ms} ms each way:"
for setting in '' ', "max_repetitions": 100'; do
  echo "{\"devices\": [{\"id\": 12, \"agent\": \"$relay\", \"address\": 4, \"appSetting\": {\"b_mode\": \"1\"$setting}}]}" \
    >"$work/config.json"
  start=$(date +%s.%N)
  build/native/runner/zrmhost run --plugin build/native/plugin/snmp_qiraoid.so --config "$work/config.json" \
    --rounds 1 --timeout 600 >/dev/null 2>&1
  awk -v what="${setting#, }" -v start="$start" -v end="$(date +%s.%N)" \
    'BEGIN { printf "  %-28s %6.2f s\n", what == "" ? "one binding per request" : what, end - start }'
done
