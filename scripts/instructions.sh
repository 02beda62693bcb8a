#!/usr/bin/env bash
# Instructions per walk pass, counted by valgrind's callgrind (deterministic where time on a shared
# machine is not): a device in mode 2 walks the cabinet simulator (the real snmpd on loopback) in
# each SNMP version and request shape; the third pass is counted, after two warm-up passes.
# Prints instructions per pass and per request sent (SNMPv3 engine discovery included), and what
# that makes on the controller at about one instruction per nanosecond (kernel time comes on top):
# milliseconds per pass, and the cabinets one core can poll at a pass every 5 s.
# usage: scripts/instructions.sh
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --valgrind
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target pass_instructions >/dev/null

out=$(mktemp -d /tmp/qiraoid-instructions.XXXXXX)
trap 'rm -rf "$out"' EXIT
valgrind --tool=callgrind --compress-strings=no --callgrind-out-file="$out/callgrind.out" \
  build/native/bench/pass_instructions 2>"$out/valgrind.log" ||
  { cat "$out/valgrind.log" >&2; exit 1; }

# Each dump names its case and rounds ("desc: Trigger: Client Request: v2c bulk-100 rounds=1");
# the requests are the calls to sendmsg, each followed by its "calls=N" line.
printf '%-24s %14s %9s %12s %12s %18s\n' pass instructions requests "per request" controller \
  "cabinets per core"
for dump in "$out"/callgrind.out.*; do
  awk '/^desc: Trigger: Client Request:/ { what = $5 " " $6; rounds = $7; sub(/rounds=/, "", rounds) }
       /^totals:/ { total = $2 }
       /^calls=/ && callee == "cfn=sendmsg" { sub(/calls=/, "", $1); requests += $1 }
       { callee = $0 }
       END {
         if (rounds != 1) { print what ": the pass completed no round" > "/dev/stderr"; exit 1 }
         printf "%-24s %12.2f M %9d %12.0f %9.1f ms %18d\n", what, total / 1e6, requests,
                total / requests, total / 1e6, 5000 / (total / 1e6)
       }' "$dump"
done
