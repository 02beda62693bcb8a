#!/usr/bin/env bash
# Fault soak (a benchmark, not a test): N devices in the runner poll the cabinet simulator through
# a relay that loses, duplicates and delays datagrams, while the soak restarts the agent every few
# minutes and changes some values; at the end it prints rounds, wrong values, the runner's
# resources over time, the longest gap between rounds and how soon each device came back after
# each restart (scripts/soak_report.py).
# usage: scripts/soak.sh [--devices N] [--minutes M] [--loss PERCENT]
set -euo pipefail
cd "$(dirname "$0")/.."

devices=16 minutes=10 loss=1
while (($#)); do
  case $1 in
    --devices) devices=$2; shift 2 ;;
    --minutes) minutes=$2; shift 2 ;;
    --loss) loss=$2; shift 2 ;;
    *) echo "usage: scripts/soak.sh [--devices N] [--minutes M] [--loss PERCENT]" >&2; exit 2 ;;
  esac
done
[[ $devices =~ ^[1-9][0-9]*$ && $minutes =~ ^[1-9][0-9]*$ && $loss =~ ^[0-9]+([.][0-9]+)?$ ]] ||
  { echo "soak: --devices and --minutes want whole numbers, --loss a percentage" >&2; exit 2; }

# What every device gets besides b_mode: the bulk shape and a short time-out keep passes short
# under loss (each lost datagram costs one time-out).
device_settings=${SOAK_DEVICE_SETTINGS:-'"max_repetitions": 100, "timeout_seconds": 0.5, "retries": 1'}
restart_every=${SOAK_RESTART_SECONDS:-180}  # agent restarts
change_every=${SOAK_CHANGE_SECONDS:-60}     # value changes
duplicate=0.01 delay_ms=2

cmake --preset native >/dev/null
cmake --build --preset native -j 2 --target snmp_qiraoid zrmhost udp_relay_tool >/dev/null

source scripts/cabinet-env.sh
cabinet_env soak keep  # the events, records and logs stay for reading
now() { echo "$EPOCHREALTIME"; }
event() { echo "$(now) $*" >>"$work/events"; }  # the timeline soak_report.py reads

# Device i (0-based) has id 100+i and walks cabinet address i % 256.
addresses=()
for ((i = 0; i < devices && i < 256; i++)); do addresses+=(--address "$i"); done
cabinet_start "${addresses[@]}"
port=${agent##*:}
cp "$cab/values" "$work/values.start"
event up

cabinet_relay --agent-port "$port" --loss "$(awk -v p="$loss" 'BEGIN { print p / 100 }')" \
  --duplicate "$duplicate" --delay-ms "$delay_ms" --seed 1

{
  echo '{"devices": ['
  for ((i = 0; i < devices; i++)); do
    ((i == 0)) || echo ','
    echo "{\"id\": $((100 + i)), \"agent\": \"$relay\", \"address\": $((i % 256)),"
    echo " \"appSetting\": {\"b_mode\": \"2\", $device_settings}}"
  done
  echo ']}'
} >"$work/config.json"

build/native/runner/zrmhost run --plugin build/native/plugin/snmp_qiraoid.so --config "$work/config.json" \
  --json --history "$work/history" >"$work/rounds.jsonl" 2>"$work/zrmhost.err" &
runner_pid=$!
event runner "$runner_pid"

sample() {  # label: the runner's RSS, descriptors and threads
  local rss threads fds
  rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$runner_pid/status")
  threads=$(awk '/^Threads:/ { print $2 }' "/proc/$runner_pid/status")
  fds=$(find "/proc/$runner_pid/fd" -mindepth 1 -maxdepth 1 | wc -l)
  event sample "$1" "$rss" "$fds" "$threads"
}

restart_agent() {
  cp "$cab/values" "$work/values.keep"  # the cabinet keeps its readings across the restart
  event down
  cabinet/cabinet stop --dir "$cab" >/dev/null
  cabinet/cabinet start --dir "$cab" --port "$port" "${addresses[@]}" --values "$work/values.keep" >/dev/null
  event up
}

change_values() {  # round k: a new temperature everywhere, the surge alarm raised or cleared
  local k=$1 a
  event changing
  for ((a = 0; a < devices && a < 256; a++)); do
    cabinet/cabinet set --dir "$cab" --address "$a" 221="$((20 + k)).5" 324="$((k % 2))"
    event set "$a" 221 "$((20 + k)).5" 324 "$((k % 2))"
  done
}

echo "soak: $devices devices through $relay (loss $loss % each way, duplicates $duplicate, delay $delay_ms ms)" \
  "to the cabinet on $agent for $minutes min; files in $work"
start=$SECONDS end=$((SECONDS + minutes * 60)) changes=0 middle=""
next_restart=$((start + restart_every)) next_change=$((start + change_every))
sleep 10
sample start
while ((SECONDS < end)); do
  if ((SECONDS >= next_restart)); then
    restart_agent
    echo "soak: agent restarted at $((SECONDS - start)) s"
    next_restart=$((next_restart + restart_every))
  fi
  if ((SECONDS >= next_change)); then
    change_values $((++changes))
    next_change=$((next_change + change_every))
  fi
  if [[ -z $middle ]] && ((SECONDS - start >= minutes * 30)); then
    sample middle
    middle=done
  fi
  sleep 1
done
sample end
kill -TERM "$runner_pid"
wait "$runner_pid" || echo "soak: zrmhost exited with $?" >&2
event stopped
kill -TERM "$relay_pid" && wait "$relay_pid" || true
echo "soak: relay: $(tail -n 1 "$work/relay")"

for file in "$work"/history/device-*.history; do
  build/native/runner/zrmhost dump "$file" --csv
done >"$work/records.csv"
python3 scripts/soak_report.py "$work"
