#!/usr/bin/env bash
# Assembles the armhf sysroot (default build/armhf-sysroot, or $ARMHF_SYSROOT) that the cross build
# compiles and links against and that qemu-arm runs the tests from.
#
# Debian's armhf packages are downloaded and extracted, never installed: libsnmp-dev:armhf cannot be
# co-installed with the native libsnmp-dev, installing the armhf runtime libraries would drag native
# libraries along to the same versions, and a sysroot of its own keeps the build machine's
# /usr/include (whose net-snmp-config.h says long is 64 bits) off the cross compiler's path.
# The C and C++ runtime headers come with the cross toolchain (/usr/arm-linux-gnueabihf).
#
# Idempotent: re-extracts only when the package set or a version changes; .debs are kept in
# build/armhf-debs. Needs root only for `dpkg --add-architecture armhf` and `apt-get update`.
set -euo pipefail
shopt -s inherit_errexit  # a failing apt query inside $(...) stops the script too
self=$(realpath "$0")
cd "$(dirname "$self")/.."

sysroot=${ARMHF_SYSROOT:-$PWD/build/armhf-sysroot}
debs=$PWD/build/armhf-debs
apt_opts=(-q -o DPkg::Lock::Timeout=600)

# Shared libraries the targets load at run time; their armhf dependencies are resolved by apt.
runtime=(libc6 libgcc-s1 libstdc++6 libsnmp40 libjsoncpp25 zlib1g libssl3 libcrypt1 libyaml-cpp0.7)
# Headers, link-time symlinks, static libraries, .pc and CMake package files, taken without their
# dependencies: the toolchain provides the libc and libstdc++ headers; OpenSSL's headers are reached
# through net-snmp's and by the runner's HTTPS, libcrypt's and yaml-cpp's by its --web-config.
dev=(libsnmp-dev libssl-dev libjsoncpp-dev libgtest-dev libgmock-dev libboost-dev zlib1g-dev libcrypt-dev
     libyaml-cpp-dev)
# Architecture-independent headers (Architecture: all, so they have no ":armhf" name).
indep=(libcli11-dev)

for tool in apt-get apt-cache dpkg-deb; do
  command -v "$tool" >/dev/null || { echo "armhf-sysroot: $tool is missing" >&2; exit 1; }
done

if ! dpkg --print-foreign-architectures | grep -qx armhf; then
  dpkg --add-architecture armhf
fi
if ! apt-cache show libc6:armhf >/dev/null 2>&1; then
  apt-get "${apt_opts[@]}" update
fi

# Prints "name=version" for every armhf package the sysroot needs, sorted.
resolve() {
  local empty_status
  empty_status=$(mktemp)
  # Against an empty package database apt resolves the whole dependency closure, whatever the
  # build machine has installed; only the armhf packages of it are kept.
  apt-get -s -o Dir::State::status="$empty_status" -o APT::Install-Recommends=false \
      install "${runtime[@]/%/:armhf}" |
    sed -n 's/^Inst \([^: ]*\):armhf (\([^ ]*\) .*\[armhf\]).*$/\1=\2/p'
  rm -f "$empty_status"
  # libboost-dev only points at the versioned headers package, which is taken too.
  local records boost
  records=$(apt-cache show --no-all-versions "${dev[@]/%/:armhf}")
  versions <<<"$records"
  boost=$(sed -n '/^Package: libboost-dev$/,/^$/s/^Depends: .*\(libboost[0-9.]*-dev\).*$/\1/p' <<<"$records")
  [[ -n $boost ]] || { echo "armhf-sysroot: no headers package behind libboost-dev" >&2; exit 1; }
  apt-cache show --no-all-versions "$boost:armhf" | versions
  apt-cache show --no-all-versions "${indep[@]}" | versions
}
# Turns apt-cache show records into "name=version" lines.
versions() {
  awk '/^Package: /{p=$2} /^Version: /{print p "=" $2}'
}

# The .deb file name apt-get download gives a package version: armhf, or "all" for the
# architecture-independent ones (CLI11's headers).
deb_name() {  # name=version
  local name=${1%%=*} version=${1#*=} arch
  for arch in armhf all; do
    [[ -f $debs/${name}_${version//:/%3a}_$arch.deb ]] && break
  done
  echo "${name}_${version//:/%3a}_$arch.deb"
}

resolved=$(resolve)
mapfile -t wanted < <(sort -u <<<"$resolved")
for w in "${wanted[@]}"; do
  [[ $w == *=?* ]] || { echo "armhf-sysroot: no armhf candidate for ${w%%=*}" >&2; exit 1; }
done
for p in "${runtime[@]}" "${dev[@]}" "${indep[@]}"; do
  grep -q "^$p=" <<<"$resolved" || { echo "armhf-sysroot: apt did not resolve $p:armhf" >&2; exit 1; }
done
manifest=$(printf '%s\n' "${wanted[@]}")

if [[ -f $sysroot/.packages && "$(cat "$sysroot/.packages")" == "$manifest" && -f $sysroot/DEBIAN/shlibs ]]; then
  echo "armhf sysroot up to date: $sysroot"
  exit 0
fi

mkdir -p "$debs"
download() {
  local missing=() w
  for w in "${wanted[@]}"; do
    [[ -f $debs/$(deb_name "$w") ]] && continue
    if [[ " ${indep[*]} " == *" ${w%%=*} "* ]]; then
      missing+=("$w")
    else
      missing+=("${w%%=*}:armhf=${w#*=}")
    fi
  done
  ((${#missing[@]} == 0)) || (cd "$debs" && apt-get "${apt_opts[@]}" -o APT::Sandbox::User=root download "${missing[@]}")
}
if ! download; then
  # Stale package lists name versions the archive no longer serves: refresh them and start over once.
  [[ -z ${ARMHF_SYSROOT_LISTS_REFRESHED:-} ]] || exit 1
  apt-get "${apt_opts[@]}" update
  ARMHF_SYSROOT_LISTS_REFRESHED=1 exec "$self" "$@"
fi

staging="$sysroot.new"
rm -rf "$staging"
mkdir -p "$staging"
# Each package's symbols and shlibs files, gathered in DEBIAN/: dpkg-shlibdeps works out the
# Depends of what is packaged for armhf from them (cmake/package.cmake).
mkdir -p "$staging/DEBIAN"
: > "$staging/DEBIAN/symbols"
: > "$staging/DEBIAN/shlibs"
control=$(mktemp -d)
for w in "${wanted[@]}"; do
  dpkg-deb -x "$debs/$(deb_name "$w")" "$staging"
  rm -rf "${control:?}"/*
  dpkg-deb -e "$debs/$(deb_name "$w")" "$control"
  for f in symbols shlibs; do
    [[ ! -f $control/$f ]] || cat "$control/$f" >> "$staging/DEBIAN/$f"
  done
done
rm -rf "$control"

# Documentation is of no use to a build.
rm -rf "$staging/usr/share/doc" "$staging/usr/share/man" "$staging/usr/share/locale" "$staging/usr/share/lintian"

# Absolute symlinks (e.g. /usr/lib/.../libfoo.so -> /lib/.../libfoo.so.1) would point into the build
# machine's root; make them relative so they stay inside the sysroot.
while IFS= read -r -d '' link; do
  target=$(readlink "$link")
  ln -sfn "$(realpath -sm --relative-to="$(dirname "$link")" "$staging$target")" "$link"
done < <(find "$staging" -type l -lname '/*' -print0)

# qemu-arm -L falls back to the build machine's file when the sysroot lacks one; an empty cache keeps
# the armhf loader from reading the native /etc/ld.so.cache (it then searches the multiarch dirs).
mkdir -p "$staging/etc"
: > "$staging/etc/ld.so.cache"

for f in lib/ld-linux-armhf.so.3 usr/include/net-snmp/net-snmp-config.h \
         usr/lib/arm-linux-gnueabihf/pkgconfig/netsnmp.pc usr/lib/arm-linux-gnueabihf/pkgconfig/jsoncpp.pc; do
  [[ -e $staging/$f ]] || { echo "armhf-sysroot: $f missing from the extracted packages" >&2; exit 1; }
done

printf '%s\n' "$manifest" > "$staging/.packages"
rm -rf "$sysroot"
mv "$staging" "$sysroot"

# Drop .debs of versions no longer wanted.
keep=$(for w in "${wanted[@]}"; do deb_name "$w"; done)
for f in "$debs"/*.deb; do
  grep -qxF "$(basename "$f")" <<<"$keep" || rm -f "$f"
done
echo "armhf sysroot assembled: $sysroot (${#wanted[@]} packages)"
