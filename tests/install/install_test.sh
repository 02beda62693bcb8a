#!/usr/bin/env bash
# Installs each component of BUILD_DIR with the prefix /usr below a fresh DESTDIR and checks that it
# brings its own files and none of another component's, then starts the installed runner, which
# must find the stand-in library it installed in its own folder below the libdir.
# usage: install_test.sh [EMULATOR...]
#   (CMAKE, BUILD_DIR, VERSION, LIBDIR, PLUGIN_DIR and DATADIR come from the environment)
set -euo pipefail
destdir=$(mktemp -d "${TMPDIR:-/tmp}/install-test-XXXXXX")
trap 'rm -rf "$destdir"' EXIT

declare -A files=(  # component: files below the prefix
  [plugin]="$PLUGIN_DIR/snmp_qiraoid.so share/doc/snmp-qiraoid/copyright share/doc/snmp-qiraoid/changelog.gz
            share/doc/snmp-qiraoid/README.md share/doc/snmp-qiraoid/examples/v3-authpriv.json"
  [runner]="bin/zrmhost $LIBDIR/zrmhost/libzrmhost_standin.so.${VERSION%%.*} $LIBDIR/zrmhost/libzrmhost_standin.so.$VERSION
            $DATADIR/snmp_qiraoid/prometheus/qiraoid_rules.yml share/doc/snmp-qiraoid-tools/copyright"
  [simulator]="$DATADIR/snmp_qiraoid/cabinet/cabinet $DATADIR/snmp_qiraoid/cabinet/pass-handler.pl"
)
failed=0
for component in "${!files[@]}"; do
  DESTDIR=$destdir/$component "$CMAKE" --install "$BUILD_DIR" --prefix /usr --component "$component" >/dev/null
  for owner in "${!files[@]}"; do
    for f in ${files[$owner]}; do
      if [[ $owner == "$component" && ! -e $destdir/$component/usr/$f ]]; then
        echo "$component: usr/$f not installed" >&2; failed=1
      elif [[ $owner != "$component" && -e $destdir/$component/usr/$f ]]; then
        echo "$component: installs $owner's usr/$f" >&2; failed=1
      fi
    done
  done
done

version=$("$@" "$destdir/runner/usr/bin/zrmhost" --version) || failed=1
[[ $version == "zrmhost $VERSION" ]] || { echo "installed zrmhost --version: $version" >&2; failed=1; }
exit "$failed"
