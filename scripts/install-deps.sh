#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the cabinet simulator need.
# Idempotent: asks apt only for what is missing. Pass --armhf to add the cross toolchain too,
# --package to add what the Debian packages are made with (scripts/package.sh),
# --fuzz to add clang and libFuzzer, --lintian to add Debian's package checker, --valgrind to add
# valgrind (scripts/instructions.sh).
set -euo pipefail

packages=(build-essential cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libjsoncpp-dev libcli11-dev libsnmp-dev libboost-dev zlib1g-dev libssl-dev libcrypt-dev
          libyaml-cpp-dev snmpd snmp perl locales procps prometheus openssl)
for flag in "$@"; do
  case "${flag}" in
    --armhf) packages+=(g++-arm-linux-gnueabihf qemu-user dpkg-dev file) ;;
    --fuzz) packages+=(clang-14 libfuzzer-14-dev) ;;
    --package) packages+=(dpkg-dev file help2man) ;;
    --lintian) packages+=(lintian) ;;
    --valgrind) packages+=(valgrind) ;;
    *) echo "install-deps.sh: unknown flag ${flag}" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # The agent and Prometheus are started by the tests and the simulator, never as system services.
  printf '#!/bin/sh\nexit 101\n' > /usr/sbin/policy-rc.d && chmod +x /usr/sbin/policy-rc.d
  trap 'rm -f /usr/sbin/policy-rc.d' EXIT
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# A decimal-comma locale, so the tests can show that value parsing ignores the host's locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  localedef -i de_DE -c -f UTF-8 de_DE.UTF-8
fi
