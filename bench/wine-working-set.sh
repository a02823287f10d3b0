#!/usr/bin/env bash
# The DLL's peak working set under Wine for one whole offline run (fetch from the debug copies,
# load through the Firebird server, document), as GetProcessMemoryInfo reports it in the host
# process, and the peak working set with the same data a tenth as large.
# Usage (as root, the Firebird server running, make linux and the DLL's build done):
#   bench/wine-working-set.sh BUILD_DIR [CUSTOMERS [WIDTH]]
#     CUSTOMERS  default 10000: the large benchmark set
#     WIDTH      32 (build/win32, 32-bit Wine) or 64 (build/win64, 64-bit Wine); default 32 where
#                the 32-bit loader is installed, else 64
set -euo pipefail
build=$(realpath "${1:?usage: wine-working-set.sh BUILD_DIR [CUSTOMERS [WIDTH]]}")
customers=${2:-10000}
width=${3:-$([ -x /usr/lib/wine/wine ] && echo 32 || echo 64)}
case $width in
  32) dllbuild=$build/win32 wine=/usr/lib/wine/wine arch=win32 ;;
  64) dllbuild=$build/win64 wine=/usr/lib/wine/wine64 arch=win64 ;;
  *) echo "wine-working-set: WIDTH is 32 or 64, not $width" >&2; exit 2 ;;
esac
top=$(cd "$(dirname "$0")/.." && pwd)
bridge=$dllbuild/tests/win32/gds32bridge/gds32.dll.so
runner=$dllbuild/bin/kxrun_win.exe
dll=$dllbuild/bin/ImpApiKorvalix.dll
for file in "$wine" "$bridge" "$runner" "$dll" "$build/linux/bin/kxgen" "$build/linux/bin/kxdb"; do
  [ -e "$file" ] || { echo "wine-working-set: $file is missing (make linux win$width)" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/kxwinemem.XXXXXX")
export WINEPREFIX=$work/prefix WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
unset DISPLAY WAYLAND_DISPLAY
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
"$wine" wineboot -i >/dev/null 2>&1
wineserver -w
chmod 755 "$work"
mkdir -p "$work/bin"
cp "$runner" "$work/bin/"
cp "$bridge" "$work/bin/gds32.dll"

measure() {
  local n=$1 dir=$work/run-$1
  mkdir -p "$dir/xml_temp" "$dir/data"
  cp "$top"/install/BESTAND.txt "$top"/install/TRANSAKT.txt "$top"/install/DBSTARTIDS.txt "$dir/data/"
  "$build/linux/bin/kxgen" --out "$dir/data/debug" --customers "$n" --seed 1 >/dev/null
  chown firebird:firebird "$dir/data" && chmod 2770 "$dir/data"
  "$build/linux/bin/kxdb" create "localhost:$dir/data/KXDB.IDB" >/dev/null
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX]\r\n"DebugMode"="2"\r\n"DataDir"="%s\\\\"\r\n"ImportDB"="localhost:%s"\r\n' \
    "$("$wine" winepath -w "$dir/data" | sed 's/\\/\\\\/g')" "$dir/data/KXDB.IDB" >"$dir/settings.reg"
  "$wine" regedit /s "$("$wine" winepath -w "$dir/settings.reg")"
  chmod 755 "$dir"
  (cd "$work/bin" && "$wine" kxrun_win.exe "--dll=$("$wine" winepath -w "$dll")" "--output=$("$wine" winepath -w "$dir/xml_temp")" \
    --advisor=A --last-import=0 --memory EmbeddedIBServer=TRUE NoMessageBoxes=TRUE UserLogin=L Password=P) |
    tr -d '\r' >"$dir/out"
  local result peak
  result=$(sed -n 's/^result=//p' "$dir/out")
  peak=$(sed -n 's/^peak-working-set=//p' "$dir/out")
  echo "RESULT wine-working-set win$width customers=$n result=$result document=$(wc -c <"$dir/xml_temp/KORVALIX.XML") bytes peak-working-set=$((peak / 1048576)) MiB"
}
measure $((customers / 10))
measure "$customers"
