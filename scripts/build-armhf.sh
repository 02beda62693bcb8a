#!/usr/bin/env bash
# Cross-builds the whole project (plug-in, stand-in host, runner, tests) for the armhf controller into
# build/armhf. Installs the cross toolchain and assembles the armhf sysroot first if they are missing.
# Extra arguments go to the cmake configure step (e.g. -DCMAKE_BUILD_TYPE=Debug).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/armhf
if [[ -z ${ARMHF_PREPARED:-} ]]; then  # set by test-armhf.sh, which has just done both
  scripts/install-deps.sh --armhf
  scripts/armhf-sysroot.sh
fi

cmake --preset armhf "$@" >/dev/null
cmake --build --preset armhf -j "$(nproc)"

# Everything the build produced must be code for the controller, never for the build machine.
wrong=$(find "$build" -path "$build/CMakeFiles" -prune -o -type f \( -name '*.so*' -o -perm -u+x \) -print0 |
          xargs -0 -r file -N | grep ': ELF' | grep -v 'ELF 32-bit LSB .* ARM, EABI5' || true)
if [[ -n $wrong ]]; then
  echo "build-armhf: not armhf:" >&2
  echo "$wrong" >&2
  exit 1
fi
echo "armhf build done: $build"
