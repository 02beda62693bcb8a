#!/usr/bin/env bash
# Writes the Debian packages for ARCH: armhf for the controller, amd64 for the build machine or a
# laptop. Builds only what they ship (the plug-in, the runner and its manual page; no tests) into
# build/ARCH-package with the ARCH-package presets and packages it there:
#   snmp-qiraoid_<version>_ARCH.deb        the plug-in
#   snmp-qiraoid-tools_<version>_ARCH.deb  the runner, its stand-in host library, the cabinet
#                                          simulator and the alerting rules
# Their Depends are worked out by dpkg-shlibdeps: for armhf against the armhf sysroot, for amd64
# against the build machine's packages. Prints the two packages' paths last, the plug-in's first.
# With --tree DIR, packages a build tree of that architecture that is already built (the test
# command's build/native or build/armhf) instead of building the same code again: it adds the
# manual page there and writes the packages into DIR.
# usage: scripts/package.sh armhf|amd64 [--tree DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { echo "usage: scripts/package.sh armhf|amd64 [--tree DIR]" >&2; exit 2; }
arch=${1:-}
tree=
if (($# == 3)) && [[ $2 == --tree ]]; then
  tree=$3
elif (($# != 1)); then
  usage
fi
case $arch in
  armhf)
    sysroot=${ARMHF_SYSROOT:-build/armhf-sysroot}
    scripts/install-deps.sh --armhf --package
    scripts/armhf-sysroot.sh >/dev/null
    # The symbols and shlibs files of the armhf packages, gathered by armhf-sysroot.sh: which
    # package provides each soname.
    providers=$(awk 'FILENAME ~ /symbols$/ && /^[^ *|#]/ { print $1, $2 }
                     FILENAME ~ /shlibs$/ && /^[^#]/ && $1 !~ /:$/ { print $1 ".so." $2, $3 }' \
                  "$sysroot/DEBIAN/symbols" "$sysroot/DEBIAN/shlibs")
    provider() { awk -v so="$1" '$1 == so { print $2; exit }' <<<"$providers"; }
    ;;
  amd64)
    [[ $(dpkg --print-architecture) == amd64 ]] || { echo "package: this machine is not amd64" >&2; exit 1; }
    scripts/install-deps.sh --package
    # The installed package that holds the library the loader finds for a soname (the machine's
    # symbols files would also name the packages of its 32-bit libraries).
    provider() {
      local path
      path=$(ldconfig -p | awk -v so="$1" '$1 == so && /x86-64/ { print $NF; exit }')
      [[ -n $path ]] || return 0
      { dpkg -S "$path" 2>/dev/null || dpkg -S "$(readlink -f "$path")" 2>/dev/null; } | sed -n '1s/:.*//p'
    }
    ;;
  *) usage ;;
esac

if [[ -n $tree ]]; then
  build=$tree
  [[ -f $build/CPackConfig.cmake ]] || { echo "package: $build is not a configured build tree" >&2; exit 1; }
  rm -f "$build"/*.deb
  cmake -DZRMHOST_MANPAGE=ON "$build" >/dev/null
  cmake --build "$build" -j "$(nproc)" --target snmp_qiraoid zrmhost zrmhost_manpage >/dev/null
  cpack --config "$build/CPackConfig.cmake" -B "$build" -G DEB >/dev/null
else
  build=build/$arch-package
  rm -f "$build"/*.deb
  CMAKE_BUILD_PARALLEL_LEVEL=$(nproc) cmake --workflow --preset "$arch-package" >/dev/null
fi

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
# CPack lets dpkg-shlibdeps pass over a library it has no symbols or shlibs file for: every
# library the packaged programs and libraries need, other than the package's own, must have
# become a dependency.
check_depends() {  # deb
  local deb=$1 root needed own depends depended soname package
  root=$unpacked/$(basename "$deb")
  dpkg-deb -x "$deb" "$root"
  needed=$(find "$root" -type f \( -name '*.so*' -o -perm -u+x \) -exec file {} + |
             sed -n 's/^\([^:]*\): *ELF .*/\1/p' | xargs -r readelf -d |
             sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort -u)
  [[ -n $needed ]] || { echo "package: $deb holds no program or library that needs a library" >&2; exit 1; }
  own=" $(find "$root" -type f -name '*.so*' -exec readelf -d {} + |
            sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p' | xargs) "
  depends=$(dpkg-deb -f "$deb" Depends)
  depended=" $(sed 's/([^)]*)//g; s/[,|]/ /g' <<<"$depends" | xargs) "  # the package names alone
  for soname in $needed; do
    [[ $own != *" $soname "* ]] || continue
    package=$(provider "$soname")
    if [[ -z $package || $depended != *" $package "* ]]; then
      echo "package: $deb: $soname (${package:-no package known}) is missing from Depends: $depends" >&2
      exit 1
    fi
  done
}

debs=()
for name in snmp-qiraoid snmp-qiraoid-tools; do
  deb=$(echo "$build/${name}_"*"_$arch.deb")
  [[ -f $deb ]] || { echo "package: no $name package written in $build" >&2; exit 1; }
  check_depends "$deb"
  debs+=("$deb")
done
printf '%s\n' "${debs[@]}"
