#!/usr/bin/env bash
# Cross-builds everything for the armhf controller and runs the whole test suite under qemu-arm
# (user-mode emulation; the toolchain file makes it CMake's CMAKE_CROSSCOMPILING_EMULATOR).
# Only the test binaries and the armhf programs they start are emulated: the snmpd they start is
# the native one, on loopback. Prints the wall time of each step. Extra arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."

times=()
step() {  # label, command...
  local label=$1 start=$SECONDS rc=0; shift
  "$@" || rc=$?
  times+=("${label}: $((SECONDS - start)) s")
  return "$rc"
}

# Some tests start armhf programs themselves (the runner tests exec zrmhost); the kernel runs those
# only through a binfmt_misc entry for qemu-arm. It is registered in a user and mount namespace of
# our own (Linux 6.7 and later give each user namespace its own binfmt_misc), so the machine's
# handlers stay as they are; QEMU_LD_PREFIX and QEMU_CPU reach the programs from the emulator's
# environment. The entry matches 32-bit little-endian ARM executables and shared objects.
binfmt_script='
  set -e
  mnt=/proc/sys/fs/binfmt_misc  # mounted in the private mount namespace only
  mount -t binfmt_misc binfmt_misc "$mnt"
  printf "%s" ":qemu-arm:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x28\x00:\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$(command -v qemu-arm):F" >"$mnt/register"
  exec "$@"'
emulated() {  # command...
  if [[ -e /proc/sys/fs/binfmt_misc/qemu-arm ]]; then
    "$@"  # the machine already runs ARM programs through qemu
  elif unshare --user --map-root-user --mount bash -c "$binfmt_script" bash true 2>/dev/null; then
    unshare --user --map-root-user --mount bash -c "$binfmt_script" bash "$@"
  else
    echo "test-armhf: cannot register qemu-arm with binfmt_misc; tests that start armhf programs will fail" >&2
    "$@"
  fi
}

trap 'printf "armhf wall time: %s\n" "${times[@]}"' EXIT
step "toolchain and packages" scripts/install-deps.sh --armhf
step "armhf sysroot" scripts/armhf-sysroot.sh
step "cross build" env ARMHF_PREPARED=1 scripts/build-armhf.sh
step "emulated tests" emulated ctest --preset armhf -j "$(nproc)" "$@"
