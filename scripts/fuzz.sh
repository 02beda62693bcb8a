#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang-14 into build/fuzz and runs each for SECONDS
# (default 60), starting from its seeds in fuzz/corpus/<target>/. Exits non-zero when any target
# finds a crash, a leak, undefined behaviour or a time-out; the input that did it is left in
# build/fuzz/findings/<target>/ (fix it, then keep it in fuzz/corpus/<target>/). The same build
# compiles the plug-in and the runner, so that clang's thread-safety analysis checks every lock.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/install-deps.sh --fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "${JOBS:-$(nproc)}"

failed=()
while read -r name flags; do
  work=build/fuzz/corpus/${name}     # what the run adds; the seeds stay as committed
  findings=build/fuzz/findings/${name}/
  log=build/fuzz/${name}.log
  mkdir -p "${work}" "${findings}"
  echo "=== fuzz ${name} (${seconds} s) ==="
  # shellcheck disable=SC2086  # flags are separate words
  if build/fuzz/fuzzers/"${name}" ${flags} -max_total_time="${seconds}" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="${findings}" \
      "${work}" "fuzz/corpus/${name}" </dev/null >"${log}" 2>&1; then
    grep -E '^stat::(number_of_executed_units|new_units_added)' "${log}" || true
  else
    tail -n 40 "${log}"
    failed+=("${name}")
  fi
done < build/fuzz/fuzzers.txt

if ((${#failed[@]})); then
  echo "fuzzing found faults in: ${failed[*]} (inputs in build/fuzz/findings/)" >&2
  exit 1
fi
