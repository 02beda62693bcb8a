#!/usr/bin/env bash
# The test command: installs what is missing, then builds and runs the whole suite natively,
# under AddressSanitizer + UndefinedBehaviorSanitizer, under ThreadSanitizer, fuzzes for a short
# while, runs the suite for armhf under emulation, then makes the Debian packages (the plug-in and
# the tools) for armhf and amd64 from the armhf and native trees just tested, checks them with
# lintian and tests them as shipped: the packaged runner runs the packaged plug-in from its
# installed path, under qemu-arm and natively. Prints each step's wall time at the end, also when
# a step fails.
set -euo pipefail
cd "$(dirname "$0")/.."

times=() current=()
step() {  # label, command...; a failing command ends the script through set -e
  current=("$1" "${SECONDS}"); shift
  echo "=== ${current[0]} ==="
  "$@"
  times+=("$(printf '%-22s %5d s' "${current[0]}" $((SECONDS - current[1])))")
  current=()
}
report_times() {
  echo "=== wall time per step ==="
  printf '%s\n' "${times[@]}"
  if ((${#current[@]})); then
    printf '%-22s %5d s (failed)\n' "${current[0]}" $((SECONDS - current[1]))
  fi
  printf '%-22s %5d s\n' "total" "${SECONDS}"
}
trap report_times EXIT

jobs=$(nproc)
run_suite() {  # preset (CMakePresets.json): configure, build and test presets of that name
  local preset=$1
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}" -j "${jobs}"
  ctest --preset "${preset}" -j "${jobs}"
}

# The packages for one architecture from its tested tree, what Debian's package checker finds in
# them, and a round of the packaged runner with the packaged plug-in, unpacked as dpkg lays them out.
package_and_test() {  # arch, tested build tree
  local arch=$1 tree=$2 written deb
  written=$(scripts/package.sh "${arch}" --tree "${tree}")
  mapfile -t debs < <(tail -n 2 <<<"${written}")
  for deb in "${debs[@]}"; do
    dpkg-deb --info "${deb}"
  done
  lintian --display-info --fail-on error,warning "${debs[@]}"
  scripts/test-packages.sh "${arch}" "${debs[@]}"
}

step "dependencies" scripts/install-deps.sh
step "native" run_suite native
step "asan-ubsan" run_suite asan-ubsan
step "tsan" run_suite tsan
# The runner's untrusted inputs and the number-text reader, under libFuzzer.
step "fuzz" scripts/fuzz.sh 15
# The controller's architecture: cross-built and run under qemu-arm.
step "armhf" scripts/test-armhf.sh
step "package dependencies" scripts/install-deps.sh --lintian
step "armhf packages" package_and_test armhf build/armhf
step "amd64 packages" package_and_test amd64 build/native
