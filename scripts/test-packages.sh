#!/usr/bin/env bash
# Tests the Debian packages of one architecture as shipped: unpacks the plug-in's package and the
# tools package into an empty root (dpkg-deb -x, as dpkg would lay them out) and, with nothing from
# the build tree, starts the packaged cabinet simulator (the real snmpd on loopback) with the
# surge-protector alarm raised, checks the packaged example configurations with the packaged runner,
# and lets the packaged runner load the packaged plug-in from its installed path for a round in
# mode 2. amd64 runs natively; armhf runs under qemu-arm, its loader and libraries taken from the
# armhf sysroot ($ARMHF_SYSROOT, default build/armhf-sysroot) as a controller would provide them.
# Fails, saying what, on the first check that does not hold.
# usage: scripts/test-packages.sh amd64|armhf PLUGIN_DEB TOOLS_DEB
set -euo pipefail
cd "$(dirname "$0")/.."

(($# == 3)) || { echo "usage: scripts/test-packages.sh amd64|armhf PLUGIN_DEB TOOLS_DEB" >&2; exit 2; }
arch=$1 plugin_deb=$2 tools_deb=$3
case $arch in
  amd64) run=() ;;
  armhf)
    sysroot=$(realpath "${ARMHF_SYSROOT:-build/armhf-sysroot}")
    run=(qemu-arm -L "$sysroot" -cpu "${ARMHF_QEMU_CPU:-cortex-a9}")
    ;;
  *) echo "test-packages: unknown architecture $arch" >&2; exit 2 ;;
esac

fail() { echo "test-packages ($arch): FAILED: $*" >&2; exit 1; }
check() { echo "test-packages ($arch): $*"; }

work=$(mktemp -d "/tmp/qiraoid-packages-$arch.XXXXXX")
root=$work/root
cab=$work/cabinet
cleanup() {
  [[ ! -x $root/usr/share/snmp_qiraoid/cabinet/cabinet ]] ||
    "$root/usr/share/snmp_qiraoid/cabinet/cabinet" stop --dir "$cab" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

for deb in "$plugin_deb" "$tools_deb"; do
  [[ $(dpkg-deb -f "$deb" Architecture) == "$arch" ]] || fail "$deb is not an $arch package"
  dpkg-deb -x "$deb" "$root"
done
zrmhost=$root/usr/bin/zrmhost
plugin=$root/usr/lib/zrm/plugins/snmp_qiraoid.so
cabinet=$root/usr/share/snmp_qiraoid/cabinet/cabinet
examples=$root/usr/share/doc/snmp-qiraoid/examples
for f in "$zrmhost" "$plugin" "$cabinet"; do
  [[ -f $f ]] || fail "the packages hold no ${f#"$root"}"
done
check "unpacked $(basename "$plugin_deb") and $(basename "$tools_deb")"

version=$("${run[@]}" "$zrmhost" --version) || fail "the packaged zrmhost --version exits $?"
[[ $version == "zrmhost $(dpkg-deb -f "$tools_deb" Version)" ]] ||
  fail "the packaged zrmhost says \"$version\", the package $(dpkg-deb -f "$tools_deb" Version)"
check "the packaged runner finds its stand-in library and says $version"

compgen -G "$examples/*.json" >/dev/null || fail "the plug-in's package holds no example in ${examples#"$root"}"
for example in "$examples"/*.json; do
  "${run[@]}" "$zrmhost" check --config "$example" >"$work/check.out" 2>&1 ||
    fail "zrmhost check of the packaged ${example#"$root"}: $(cat "$work/check.out")"
done
check "zrmhost check finds no problem in the packaged examples: $(cd "$examples" && echo *.json)"

ready=$("$cabinet" start --dir "$cab" --address 4 --watch-pid $$) || fail "the packaged simulator did not start"
agent=$(grep -o 'udp:127\.0\.0\.1:[0-9]*' <<<"$ready")
"$cabinet" set --dir "$cab" --address 4 324=1 || fail "the packaged simulator did not raise column 324"
check "the packaged simulator serves address 4 on $agent, surge-protector alarm (column 324) raised"

cat >"$work/config.json" <<JSON
{"devices": [{"id": 12, "agent": "$agent", "address": 4, "appSetting": {"b_mode": "2"}}]}
JSON
status=0
"${run[@]}" "$zrmhost" run --plugin "$plugin" --config "$work/config.json" --rounds 1 --timeout 120 \
  >"$work/run.out" 2>"$work/run.err" || status=$?
sed 's/^/  | /' "$work/run.out"
((status == 0)) || fail "zrmhost run --plugin ${plugin#"$root"} exits $status: $(tail -n 5 "$work/run.err")"
grep -q '^device 12 round 1 at .*(1397 values, [0-9]* non-zero)$' "$work/run.out" ||
  fail "no completed round of device 12 with its 1397 values"
grep -q '^device 12 signal 82 raised: ' "$work/run.out" || fail "the raised surge-protector alarm (signal 82) was not reported"
grep -q 'InitSetting 12 b_mode_:2' "$work/run.err" || fail "the plug-in did not log its mode 2 setting"
check "the packaged runner loaded the packaged plug-in from ${plugin#"$root"}: a round in mode 2 and alarm 82 raised"
