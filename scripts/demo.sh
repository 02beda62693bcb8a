#!/usr/bin/env bash
# The main job: builds the plug-in and the runner, starts the cabinet simulator, runs the
# plug-in in mode 2 for four rounds while the simulator raises and clears the surge-protector
# alarm (signal 82), and stops everything it started. The plug-in's log lines are kept in
# build/demo/plugin.log.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target snmp_qiraoid zrmhost >/dev/null

source scripts/cabinet-env.sh
cabinet_env demo
cabinet_start --address 4
echo "$cabinet_ready"

cat >"$work/config.json" <<JSON
{"devices": [{"id": 12, "agent": "$agent", "address": 4, "appSetting": {"b_mode": "2"}}]}
JSON

# Raised after the first round, cleared after the second: rounds come 5 s after each walk.
(sleep 2 && cabinet/cabinet scenario surge --dir "$cab" --interval 6 >/dev/null) &

# The plug-in's log lines (and the runner's own complaints) outlive the temporary folder.
log=build/demo/plugin.log
mkdir -p "$(dirname "$log")"
status=0
build/native/runner/zrmhost run --plugin build/native/plugin/snmp_qiraoid.so \
  --config "$work/config.json" --rounds 4 --timeout 30 2>"$log" || status=$?
echo "(the plug-in wrote $(wc -l <"$log") log lines to standard error: $log)"
exit "$status"
