#!/usr/bin/env bash
# The test command: installs what is missing, then builds and runs the whole suite natively,
# under AddressSanitizer + UndefinedBehaviorSanitizer, under ThreadSanitizer, fuzzes for a short
# while, runs the suite for armhf under emulation, and packages the plug-in for armhf and checks
# the package with lintian.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
run_suite() {  # preset (CMakePresets.json): configure, build and test presets of that name
  local preset=$1
  echo "=== ${preset} ==="
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}" -j "${jobs}"
  ctest --preset "${preset}" -j "${jobs}"
}

run_suite native
run_suite asan-ubsan
run_suite tsan

# The runner's untrusted inputs and the number-text reader, under libFuzzer.
echo "=== fuzz ==="
scripts/fuzz.sh 15

# The controller's architecture: cross-built and run under qemu-arm.
echo "=== armhf ==="
scripts/test-armhf.sh

# The package for the controller, and what Debian's package checker finds in it.
echo "=== armhf package ==="
scripts/install-deps.sh --lintian
deb=$(scripts/package-armhf.sh | tail -n 1)
dpkg-deb --info "${deb}"
lintian --display-info --fail-on error,warning "${deb}"
