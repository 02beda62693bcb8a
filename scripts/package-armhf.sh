#!/usr/bin/env bash
# Writes the controller's Debian package: cross-builds only what it ships (the plug-in; no tests, no
# runner) into build/armhf-package and packages it there as snmp-qiraoid_<version>_armhf.deb, its
# Depends worked out by dpkg-shlibdeps against the armhf sysroot. Prints the package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/armhf-package
sysroot=${ARMHF_SYSROOT:-build/armhf-sysroot}
scripts/install-deps.sh --armhf
scripts/armhf-sysroot.sh >/dev/null
rm -f "$build"/*.deb
CMAKE_BUILD_PARALLEL_LEVEL=$(nproc) cmake --workflow --preset armhf-package >/dev/null
deb=$(echo "$build"/snmp-qiraoid_*_armhf.deb)
[[ -f $deb ]] || { echo "package-armhf: no package written in $build" >&2; exit 1; }

# CPack lets dpkg-shlibdeps pass over a library it has no symbols or shlibs file for: every
# library the packaged files need must have become a dependency.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
needed=$(find "$unpacked" -type f -name '*.so*' -exec readelf -d {} + | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort -u)
[[ -n $needed ]] || { echo "package-armhf: $deb holds no shared object that needs a library" >&2; exit 1; }
depends=$(dpkg-deb -f "$deb" Depends)
depended=" $(sed 's/([^)]*)//g; s/[,|]/ /g' <<<"$depends" | xargs) "  # the package names alone
providers=$(awk 'FILENAME ~ /symbols$/ && /^[^ *|#]/ { print $1, $2 }
                 FILENAME ~ /shlibs$/ && /^[^#]/ && $1 !~ /:$/ { print $1 ".so." $2, $3 }' \
              "$sysroot/DEBIAN/symbols" "$sysroot/DEBIAN/shlibs")
for soname in $needed; do
  package=$(awk -v so="$soname" '$1 == so { print $2; exit }' <<<"$providers")
  if [[ -z $package || $depended != *" $package "* ]]; then
    echo "package-armhf: $soname (${package:-no package known}) is missing from Depends: $depends" >&2
    exit 1
  fi
done
echo "$deb"
