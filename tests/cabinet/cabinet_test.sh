#!/usr/bin/env bash
# Tests of the cabinet simulator through its command line and the Net-SNMP client tools.
# Usage: cabinet_test.sh CASE   (CASE is one of the case_* functions below, without "case_")
set -euo pipefail

CABINET=${CABINET:-$(cd "$(dirname "$0")/../.." && pwd)/cabinet/cabinet}
ROOT=1.3.6.1.4.1.61333.1.1
work=$(mktemp -d "${TMPDIR:-/tmp}/cabinet-test-XXXXXX")
started=()

cleanup() {
  local dir
  for dir in "${started[@]}"; do bash "$CABINET" stop --dir "$dir" >/dev/null 2>&1 || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# The clients keep their persistent files here, not in the system's directory.
export SNMP_PERSISTENT_DIR=$work/client MIBS=''
mkdir -p "$SNMP_PERSISTENT_DIR/cert_indexes"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

expect_eq() {  # what, expected, actual
  [[ $2 == "$3" ]] || fail "$1: expected '$2', got '$3'"
}

cabinet() { bash "$CABINET" "$@"; }  # in the background, call bash directly: $! must be it

# start DIR ARGS...: starts a cabinet, sets $port.
start() {
  local dir=$1 out
  shift
  started+=("$dir")
  out=$(cabinet start --dir "$dir" "$@") || fail "start $*: exit $?"
  [[ $out =~ ^cabinet\ ready\ on\ udp:127\.0\.0\.1:([0-9]+)\ \(state\ in\ $dir\)$ ]] ||
    fail "unexpected ready line: $out"
  port=${BASH_REMATCH[1]}
}

# Value of one OID as the agent shows it ("230.5", or the client's words for an exception).
get() {  # port oid
  snmpget -v2c -c qondel -r1 -t2 -On -Oqv "udp:127.0.0.1:$1" "$2" | tr -d '"'
}

# "OID = VALUE" of the next variable.
next() {  # port oid
  snmpgetnext -v2c -c qondel -r1 -t2 -On -Oq "udp:127.0.0.1:$1" "$2" | tr -d '"'
}

walk() {  # port root: the variables, without the client's "No more variables" at the end
  snmpbulkwalk -v2c -c qondel -r1 -t2 -Cn1 -Cr100 -On -Oq "udp:127.0.0.1:$1" "$2" | tr -d '"' |
    grep -v 'No more variables left in this MIB View'
}

processes_of() {  # dir: pids whose command line names this state directory
  local pid
  for pid in $(pgrep -f -- "$1(/| |\$)" || true); do
    [[ $pid != "$$" ]] && echo "$pid"
  done
}

# A full bulk walk: every column once, in order, each a number; alarms quiet; past the end, the
# restricted view says so.
case_walk() {
  start "$work/c" --address 4
  local rows=() expected=1 oid value line
  mapfile -t rows < <(walk "$port" "$ROOT.4.0")
  expect_eq "last row" "No more variables left in this MIB View (It is past the end of the MIB tree)" \
    "$(snmpbulkwalk -v2c -c qondel -Cn1 -Cr100 -On "udp:127.0.0.1:$port" "$ROOT.4.0" | tail -n1 |
      sed 's/^[^=]*= //')"
  expect_eq "rows" 1397 "${#rows[@]}"
  for line in "${rows[@]}"; do
    oid=${line%% *} value=${line#* }
    expect_eq "row $expected" ".$ROOT.4.0.$expected" "$oid"
    [[ $value =~ ^-?[0-9]+(\.[0-9]+)?$ ]] || fail "column $expected is not a number: '$value'"
    if ((expected >= 241 && expected <= 556)); then expect_eq "alarm column $expected" 0 "$value"; fi
    expected=$((expected + 1))
  done
  # The measurements a driver would show must look like a working cabinet.
  local range column
  for range in "1 225 245" "2 225 245" "3 225 245" "21 225 245" "23 225 245" "4 0.1 63" \
    "11 0.9 0.99" "33 0.9 0.99" "14 49.5 50.5" "34 49.5 50.5" "221 10 40" "222 10 40" \
    "223 20 80" "224 20 80"; do
    read -r column low high <<<"$range"
    value=$(get "$port" "$ROOT.4.0.$column")
    perl -e 'exit !($ARGV[0] >= $ARGV[1] && $ARGV[0] <= $ARGV[2])' "$value" "$low" "$high" ||
      fail "column $column = $value, outside $low..$high"
  done
}

# getnext for OIDs that are not columns, numerically ordered across addresses, and where each
# view stops.
case_views() {
  # Sparse on purpose: gaps between columns, and address 10, which sorts before 4 as text.
  printf '# sparse\n4.1 a\n4.2 b\n4.9 c\n4.10 d\n4.100 e\n4.1397 f\n10.1 g\n10.7 h\n' >"$work/sparse"
  start "$work/sparse-agent" --address 4 --address 10 --view full --values "$work/sparse"
  local sparse=$port case request expected
  for case in \
    "1.3.6.1.4.1.61333|$ROOT.4.0.1 a" \
    "$ROOT|$ROOT.4.0.1 a" \
    "$ROOT.3.9.9|$ROOT.4.0.1 a" \
    "$ROOT.4|$ROOT.4.0.1 a" \
    "$ROOT.4.0|$ROOT.4.0.1 a" \
    "$ROOT.4.0.1|$ROOT.4.0.2 b" \
    "$ROOT.4.0.1.5|$ROOT.4.0.2 b" \
    "$ROOT.4.0.3|$ROOT.4.0.9 c" \
    "$ROOT.4.0.9|$ROOT.4.0.10 d" \
    "$ROOT.4.0.11|$ROOT.4.0.100 e" \
    "$ROOT.4.0.1397|$ROOT.10.0.1 g" \
    "$ROOT.4.0.99999|$ROOT.10.0.1 g" \
    "$ROOT.4.1|$ROOT.10.0.1 g" \
    "$ROOT.9|$ROOT.10.0.1 g" \
    "$ROOT.10.0.1|$ROOT.10.0.7 h"; do
    request=${case%%|*} expected=${case#*|}
    expect_eq "getnext $request" ".$expected" "$(next "$sparse" "$request")"
  done
  expect_eq "column missing from the file" "No Such Instance currently exists at this OID" \
    "$(get "$sparse" "$ROOT.4.0.3")"
  expect_eq "first column" "a" "$(get "$sparse" "$ROOT.4.0.1")"
  # Past the last table, the full view goes on to the agent's own variables.
  [[ $(next "$sparse" "$ROOT.10.0.7") == .1.3.6.1.6.3.* ]] || fail "full view ends at the table"

  # Two cabinets with the default values: walking 4's root stays in 4; the next OID is 5's.
  start "$work/full" --address 4 --address 5 --view full
  expect_eq "rows of address 4" 1397 "$(walk "$port" "$ROOT.4.0" | wc -l)"
  expect_eq "after address 4" ".$ROOT.5.0.1 230.5" "$(next "$port" "$ROOT.4.0.1397")"
  expect_eq "rows of address 5" 1397 "$(walk "$port" "$ROOT.5.0" | wc -l)"

  # The restricted view shows both tables and nothing else.
  start "$work/restricted" --address 4 --address 5
  expect_eq "restricted, after address 4" ".$ROOT.5.0.1 230.5" "$(next "$port" "$ROOT.4.0.1397")"
  expect_eq "restricted, before the tables" ".$ROOT.4.0.1 230.5" "$(next "$port" 1.3.6.1)"
  expect_eq "restricted, past the end" \
    ".$ROOT.5.0.1397 No more variables left in this MIB View (It is past the end of the MIB tree)" \
    "$(next "$port" "$ROOT.5.0.1397")"
  expect_eq "restricted, sysDescr" "No Such Object available on this agent at this OID" \
    "$(get "$port" 1.3.6.1.2.1.1.1.0)"
}

# Changes reach the next request, whoever writes them and however fast.
case_set() {
  start "$work/c" --address 4 --address 5
  cabinet set --dir "$work/c" 324=1 1=250.5 >/dev/null
  expect_eq "column 324" 1 "$(get "$port" "$ROOT.4.0.324")"
  expect_eq "column 1" 250.5 "$(get "$port" "$ROOT.4.0.1")"
  expect_eq "column 2 untouched" 229.8 "$(get "$port" "$ROOT.4.0.2")"
  expect_eq "address 5 untouched" 0 "$(get "$port" "$ROOT.5.0.324")"
  cabinet set --dir "$work/c" --address 5 324=1 >/dev/null
  expect_eq "address 5" 1 "$(get "$port" "$ROOT.5.0.324")"

  # Several replacements between two reads, all of the same size and within the same second or
  # so: size and mtime alone can't tell them apart, the last one must count all the same.
  local i
  expect_eq "before quick sets" 0 "$(get "$port" "$ROOT.4.0.300")"
  for i in 1 2 3 4 5; do cabinet set --dir "$work/c" 300=$((i % 2)); done
  expect_eq "after quick sets" 1 "$(get "$port" "$ROOT.4.0.300")"
  cabinet set --dir "$work/c" 300=0
  expect_eq "after one more" 0 "$(get "$port" "$ROOT.4.0.300")"

  # Writers in parallel lose nothing; walks in the middle of it always see a whole table.
  (for i in $(seq 10 30); do bash "$CABINET" set --dir "$work/c" "$i=1$i"; done) &
  local writer=$!
  (for i in $(seq 400 420); do bash "$CABINET" set --dir "$work/c" "$i=2$i"; done) &
  local other=$!
  while kill -0 "$writer" 2>/dev/null || kill -0 "$other" 2>/dev/null; do
    expect_eq "rows during writes" 1397 "$(walk "$port" "$ROOT.4.0" | wc -l)"
  done
  wait "$writer" "$other"
  for i in $(seq 10 30); do expect_eq "column $i" "1$i" "$(get "$port" "$ROOT.4.0.$i")"; done
  for i in $(seq 400 420); do expect_eq "column $i" "2$i" "$(get "$port" "$ROOT.4.0.$i")"; done
}

# Each scenario raises its alarm (and its measurement), then puts back what was there.
case_scenario() {
  start "$work/c"
  local listed
  listed=$(cabinet scenario list)
  local case name alarm measure before value seen pid
  for case in "surge 324" "overvoltage 241 1=276.4" "breaker 401 41=0.0"; do
    read -r name alarm measure <<<"$case"
    [[ $listed == *"$name"*"column $alarm"* ]] || fail "scenario list lacks $name: $listed"
    before=""
    [[ -z $measure ]] || before=$(get "$port" "$ROOT.4.0.${measure%%=*}")
    bash "$CABINET" scenario "$name" --dir "$work/c" --interval 1 >"$work/$name.out" &
    pid=$!
    seen=""
    while kill -0 "$pid" 2>/dev/null; do
      value=$(get "$port" "$ROOT.4.0.$alarm")
      if [[ $value == 1 ]]; then
        seen=1
        [[ -z $measure ]] || expect_eq "$name measurement" "${measure#*=}" \
          "$(get "$port" "$ROOT.4.0.${measure%%=*}")"
        break
      fi
      sleep 0.1
    done
    wait "$pid" || fail "scenario $name: exit $?"
    [[ -n $seen ]] || fail "scenario $name never showed column $alarm = 1"
    expect_eq "$name alarm after" 0 "$(get "$port" "$ROOT.4.0.$alarm")"
    [[ -z $measure ]] || expect_eq "$name measurement after" "$before" \
      "$(get "$port" "$ROOT.4.0.${measure%%=*}")"
  done

  # Stopped half-way, it still clears its alarm.
  cabinet set --dir "$work/c" 1=231.0
  bash "$CABINET" scenario overvoltage --dir "$work/c" --interval 30 >/dev/null &
  pid=$!
  for _ in $(seq 50); do [[ $(get "$port" "$ROOT.4.0.241") == 1 ]] && break; sleep 0.1; done
  kill -TERM "$pid"
  wait "$pid" || true
  expect_eq "interrupted alarm" 0 "$(get "$port" "$ROOT.4.0.241")"
  expect_eq "interrupted measurement" 231.0 "$(get "$port" "$ROOT.4.0.1")"
}

# Stop ends everything the directory started, frees the port, and can be repeated.
case_stop() {
  start "$work/c"
  [[ -n $(processes_of "$work/c") ]] || fail "nothing runs for $work/c after start"
  cabinet status --dir "$work/c" | grep -q "running on udp:127.0.0.1:$port" || fail "status"
  expect_eq "stop" "cabinet stopped (state in $work/c)" "$(cabinet stop --dir "$work/c")"
  expect_eq "processes after stop" "" "$(processes_of "$work/c")"
  ! grep -qi ":$(printf %04X "$port") " /proc/net/udp || fail "port $port still bound"
  ! snmpget -v2c -c qondel -r0 -t0.3 "udp:127.0.0.1:$port" "$ROOT.4.0.1" >/dev/null 2>&1 ||
    fail "still answering"
  expect_eq "second stop" "cabinet not running (state in $work/c)" "$(cabinet stop --dir "$work/c")"
  local status=0
  cabinet status --dir "$work/c" >/dev/null || status=$?
  expect_eq "status when stopped" 3 "$status"

  # A killed agent leaves pid files behind; the next start must not trip over them.
  start "$work/c"
  local killed _
  killed=$(cat "$work/c/agent.pid")
  kill -KILL "$killed"
  for _ in $(seq 50); do  # SIGKILL takes effect a moment later; a zombie counts as gone
    [[ $(ps -o stat= -p "$killed" 2>/dev/null) == Z* || -z $(ps -o stat= -p "$killed") ]] && break
    sleep 0.05
  done
  start "$work/c"
  expect_eq "after restart" 230.5 "$(get "$port" "$ROOT.4.0.1")"
  cabinet stop --dir "$work/c" >/dev/null
  expect_eq "processes after the restart's stop" "" "$(processes_of "$work/c")"
}

# Reads lines of EXIT|MESSAGE|ARGUMENTS and checks each invocation's exit code and message.
expect_refusals() {
  local code message args out status
  while IFS='|' read -r code message args; do
    status=0
    # shellcheck disable=SC2086  # the arguments are words on purpose
    out=$(cabinet $args 2>&1) || status=$?
    expect_eq "exit of '$args'" "$code" "$status"
    [[ $out == *"$message"* ]] || fail "'$args' said: $out"
  done
}

# Bad invocations: a message saying what is wrong, a non-zero exit, nothing left behind.
case_errors() {
  printf '4.1 230\nnonsense here\n' >"$work/bad-values"
  expect_refusals <<EOF
2|unknown command 'launch'|launch --dir $work/x
2|start needs --dir DIR|start
2|--port needs a value|start --dir $work/x --port
2|bad port '70000'|start --dir $work/x --port 70000
2|bad address '256'|start --dir $work/x --address 256
2|bad address '-1'|start --dir $work/x --address -1
2|bad view 'all'|start --dir $work/x --view all
2|unexpected '--colour'|start --dir $work/x --colour red
2|cannot read values file|start --dir $work/x --values $work/missing
2|bad-values:2: want 'ADDRESS.COLUMN VALUE'|start --dir $work/x --values $work/bad-values
1|no cabinet values in $work/y|set --dir $work/y 1=1
2|no scenario 'flood'|scenario flood --dir $work/y
2|bad interval 'soon'|scenario surge --dir $work/y --interval soon
EOF
  [[ ! -e $work/x ]] || fail "a refused start left $work/x behind"

  start "$work/c"
  expect_refusals <<EOF
2|bad column '0'|set --dir $work/c 0=1
2|bad column '1398'|set --dir $work/c 1398=1
2|bad column 'x'|set --dir $work/c x=1
2|want COLUMN=VALUE, got '324'|set --dir $work/c 324
2|set needs COLUMN=VALUE|set --dir $work/c
1|already runs in $work/c|start --dir $work/c
EOF
  expect_eq "values after refused sets" 0 "$(get "$port" "$ROOT.4.0.324")"
}

# A taken port: an explicit one fails cleanly, a chosen one is replaced by another.
case_port() {
  start "$work/first"
  local taken=$port out status=0
  out=$(cabinet start --dir "$work/second" --port "$taken" 2>&1) || status=$?
  expect_eq "exit on a taken port" 1 "$status"
  [[ $out =~ Error\ opening\ .*endpoint ]] || fail "no log tail in: $out"
  expect_eq "processes of the failed start" "" "$(processes_of "$work/second")"
  expect_eq "first agent unharmed" 230.5 "$(get "$taken" "$ROOT.4.0.1")"

  local free
  free=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Proto => "udp",
    LocalAddr => "127.0.0.1", LocalPort => 0)->sockport')
  started+=("$work/second")
  out=$(CABINET_PORTS="$taken $free" cabinet start --dir "$work/second" 2>&1) ||
    fail "no retry on another port: $out"
  [[ $out == *"ready on udp:127.0.0.1:$free "* ]] || fail "not on the second port: $out"
  expect_eq "second agent" 230.5 "$(get "$free" "$ROOT.4.0.1")"
}

# --watch-pid: the agent outlives the shell that started it, but not its owner.
case_watch() {
  sleep 60 &
  local owner=$!
  start "$work/c" --watch-pid "$owner"
  expect_eq "answers while the owner lives" 230.5 "$(get "$port" "$ROOT.4.0.1")"
  kill "$owner"
  wait "$owner" 2>/dev/null || true
  local _
  for _ in $(seq 50); do
    [[ -z $(processes_of "$work/c") ]] && return 0
    sleep 0.1
  done
  fail "agent still running 5 s after its owner ended: $(processes_of "$work/c")"
}

name=${1:?usage: cabinet_test.sh CASE}
declare -F "case_$name" >/dev/null || fail "no test case '$name'"
"case_$name"
echo "PASS: $name"
