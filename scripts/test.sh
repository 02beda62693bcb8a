#!/usr/bin/env bash
# The test command: installs what is missing, then builds and runs the whole suite natively,
# under AddressSanitizer + UndefinedBehaviorSanitizer, under ThreadSanitizer, fuzzes for a short
# while, runs the suite for armhf under emulation, then makes the Debian packages (the plug-in and
# the tools) for armhf and amd64, checks them with lintian and tests them as shipped: the packaged
# runner runs the packaged plug-in from its installed path, under qemu-arm and natively.
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

# The packages for the controller and for a laptop, what Debian's package checker finds in them,
# and a round of the packaged runner with the packaged plug-in, unpacked as dpkg lays them out.
scripts/install-deps.sh --lintian
for arch in armhf amd64; do
  echo "=== ${arch} packages ==="
  written=$(scripts/package.sh "${arch}")
  mapfile -t debs < <(tail -n 2 <<<"${written}")
  for deb in "${debs[@]}"; do
    dpkg-deb --info "${deb}"
  done
  lintian --display-info --fail-on error,warning "${debs[@]}"
  scripts/test-packages.sh "${arch}" "${debs[@]}"
done
