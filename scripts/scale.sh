#!/usr/bin/env bash
# Scale run (a benchmark, not a test): one runner polls N SNMPv3 authPriv devices in the bulk shape
# (mode 2), S of whose agents never answer (bound UDP sockets that read and drop every datagram:
# silence, not refusal), the others walking the cabinet simulator (A agents, one user, 16 cabinet
# addresses each; several devices walk the same table). Natively, or the armhf build under
# qemu-arm. At the end scripts/scale_report.py prints the rounds per device, the runner's CPU per
# round, resident memory, descriptors, threads and address space over the run, and how long the
# runner took to exit after SIGTERM.
# usage: scripts/scale.sh [--armhf] [--devices N] [--silent S] [--agents A] [--seconds T]
set -euo pipefail
cd "$(dirname "$0")/.."

arch=native devices=1000 silent=100 agents=4 seconds=180
while (($#)); do
  case $1 in
    --armhf) arch=armhf; shift ;;
    --devices) devices=$2; shift 2 ;;
    --silent) silent=$2; shift 2 ;;
    --agents) agents=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    *) echo "usage: scripts/scale.sh [--armhf] [--devices N] [--silent S] [--agents A] [--seconds T]" >&2; exit 2 ;;
  esac
done
[[ $devices =~ ^[1-9][0-9]*$ && $silent =~ ^[0-9]+$ && $agents =~ ^[1-9][0-9]*$ && $seconds =~ ^[1-9][0-9]*$ ]] &&
  ((silent <= devices)) ||
  { echo "scale: whole numbers wanted, --silent at most --devices" >&2; exit 2; }

addresses_per_agent=16
sample_every=10  # seconds
user=dora auth_phrase=scale-auth-phrase priv_phrase=scale-priv-phrase

build=build/$arch
targets=(snmp_qiraoid zrmhost address_space_probe)
if [[ $arch == armhf ]]; then
  # The sysroot scripts/armhf-sysroot.sh assembles, or one already assembled (ARMHF_SYSROOT).
  sysroot=${ARMHF_SYSROOT:-$PWD/build/armhf-sysroot}
  [[ -e $sysroot/usr/include/net-snmp/net-snmp-config.h ]] || scripts/armhf-sysroot.sh
  ARMHF_SYSROOT=$sysroot cmake --preset armhf >/dev/null
  cmake --build --preset armhf -j 2 --target "${targets[@]}" >/dev/null
  # As the emulated tests run (cmake/toolchain-armhf.cmake); the probe goes to the guest only.
  runner=(env "QEMU_LD_PREFIX=$sysroot" "QEMU_CPU=${ARMHF_QEMU_CPU:-cortex-a9}" qemu-arm
          -E "LD_PRELOAD=$PWD/$build/bench/address_space_probe.so")
else
  cmake --preset native >/dev/null
  cmake --build --preset native -j 2 --target "${targets[@]}" >/dev/null
  runner=(env "LD_PRELOAD=$PWD/$build/bench/address_space_probe.so")
fi

source scripts/cabinet-env.sh
cabinet_env scale keep  # the events, rounds and logs stay for reading
event() { echo "$EPOCHREALTIME $*" >>"$work/events"; }  # the timeline scale_report.py reads
stop_agents() {
  local a
  for ((a = 1; a < agents; a++)); do cabinet/cabinet stop --dir "$work/cabinet$a" >/dev/null 2>&1 || true; done
  cabinet_cleanup
}
trap stop_agents EXIT

cabinet_addresses=()
for ((i = 0; i < addresses_per_agent; i++)); do cabinet_addresses+=(--address "$i"); done
agent_addresses=()
for ((a = 0; a < agents; a++)); do
  dir=$cab
  ((a == 0)) || dir=$work/cabinet$a
  line=$(cabinet/cabinet start --dir "$dir" "${cabinet_addresses[@]}" --watch-pid $$ \
           --v3-user "$user:SHA-256:$auth_phrase:AES:$priv_phrase")
  agent_addresses+=("$(grep -o 'udp:127\.0\.0\.1:[0-9]*' <<<"$line")")
done

# The silent agents: one bound socket each, every datagram read and dropped.
python3 -c '
import selectors, socket, sys
watch = selectors.DefaultSelector()
ports = []
for _ in range(int(sys.argv[1])):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", 0))
    s.setblocking(False)
    watch.register(s, selectors.EVENT_READ)
    ports.append(str(s.getsockname()[1]))
print(" ".join(ports), flush=True)
while True:
    for key, _ in watch.select():
        try:
            key.fileobj.recv(65536)
        except BlockingIOError:
            pass
' "$silent" >"$work/silent" &
until [[ -s $work/silent ]]; do sleep 0.1; done
read -r -a silent_ports <"$work/silent"

# Device i has id 100+i; the S silent ones are spread evenly among them. Live device k walks
# agent k % A at cabinet address (k / A) % 16, so the same live devices come with any S.
{
  echo '{"devices": ['
  live=0 quiet=0
  for ((i = 0; i < devices; i++)); do
    ((i == 0)) || echo ','
    if (((i + 1) * silent / devices > i * silent / devices)); then
      agent=udp:127.0.0.1:${silent_ports[quiet++]} address=0
    else
      agent=${agent_addresses[live % agents]} address=$(((live / agents) % addresses_per_agent))
      ((++live))
    fi
    echo "{\"id\": $((100 + i)), \"agent\": \"$agent\", \"address\": $address,"
    echo " \"appSetting\": {\"b_mode\": \"2\", \"max_repetitions\": 100, \"snmp_version\": \"3\","
    echo "  \"security_name\": \"$user\", \"security_level\": \"authPriv\", \"auth_protocol\": \"SHA-256\","
    echo "  \"auth_passphrase\": \"$auth_phrase\", \"priv_protocol\": \"AES\", \"priv_passphrase\": \"$priv_phrase\"}}"
  done
  echo ']}'
} >"$work/config.json"

QIRAOID_PROBE_FILE=$work/address_space "${runner[@]}" "$build/runner/zrmhost" run \
  --plugin "$build/plugin/snmp_qiraoid.so" --config "$work/config.json" --json \
  >"$work/rounds.jsonl" 2>"$work/zrmhost.err" &
runner_pid=$!
event runner "$runner_pid"

sample() {  # the runner's CPU ticks, RSS, descriptors and threads; its own view of its address space
  local stat rss threads fds mapped=(0 0)
  read -r -a stat <"/proc/$runner_pid/stat"
  rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$runner_pid/status")
  threads=$(awk '/^Threads:/ { print $2 }' "/proc/$runner_pid/status")
  fds=$(find "/proc/$runner_pid/fd" -mindepth 1 -maxdepth 1 | wc -l)
  [[ -s $work/address_space ]] && read -r -a mapped <"$work/address_space"
  event sample "${stat[13]}" "${stat[14]}" "$rss" "$fds" "$threads" "${mapped[0]}" "${mapped[1]}"
}

echo "scale: $arch, $devices devices ($silent silent) on $agents agents for $seconds s; files in $work"
end=$((SECONDS + seconds))
while ((SECONDS < end)); do
  sleep "$sample_every"
  kill -0 "$runner_pid" 2>/dev/null || { echo "scale: zrmhost ended early" >&2; break; }
  sample
done
event stopping
kill -TERM "$runner_pid" 2>/dev/null || true
status=0
wait "$runner_pid" || status=$?
event stopped "$status"
echo "scale: descriptor limit $(ulimit -Hn) (the runner raises its soft limit to it), clock ticks $(getconf CLK_TCK)/s"
python3 scripts/scale_report.py "$work" "$(getconf CLK_TCK)"
