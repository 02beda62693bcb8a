#!/usr/bin/env bash
# The test command: installs what is missing, then builds and runs the whole suite natively,
# under AddressSanitizer + UndefinedBehaviorSanitizer, under ThreadSanitizer, fuzzes for a short
# while, and runs the suite for armhf under emulation.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
run_suite() {  # name, extra cmake arguments...
  local name=$1; shift
  echo "=== ${name} ==="
  cmake -S . -B "build/${name}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "build/${name}" -j "${jobs}"
  ctest --test-dir "build/${name}" --output-on-failure -j "${jobs}"
}

run_suite native
run_suite asan-ubsan -DSANITIZE=address,undefined
run_suite tsan -DSANITIZE=thread

# The runner's untrusted inputs and the number-text reader, under libFuzzer.
echo "=== fuzz ==="
scripts/fuzz.sh 15

# The controller's architecture: cross-built and run under qemu-arm.
echo "=== armhf ==="
scripts/test-armhf.sh
