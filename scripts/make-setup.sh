#!/usr/bin/env bash
# The Windows installer ImpApiKorvalix-<version>-setup.exe from the Windows build's DLL, the Linux
# build's manual and an empty staging database made by the Linux build's kxdb (Firebird 3 writes
# the same on-disk format on both).
# Usage: make-setup.sh BUILD_DIR VERSION   (BUILD_DIR holds linux/ and win32/)
set -euo pipefail
build=$(realpath "${1:?usage: make-setup.sh BUILD_DIR VERSION}")
version=${2:?usage: make-setup.sh BUILD_DIR VERSION}
top=$(cd "$(dirname "$0")/.." && pwd)
out=$build/win32/package
dll=$build/win32/bin/ImpApiKorvalix.dll
manual="$build/linux/manual/Die Schnittstelle zu KORVALIX.pdf"
for file in "$dll" "$manual" "$build/linux/bin/kxdb"; do
  [ -e "$file" ] || { echo "make-setup: $file is missing; build both targets first" >&2; exit 1; }
done
mkdir -p "$out"
rm -f "$out/KXDB.IDB"
"$build/linux/bin/kxdb" create "$out/KXDB.IDB" >/dev/null
makensis -V2 -DVERSION="$version" -DDLL="$dll" -DMANUAL="$manual" -DDATABASE="$out/KXDB.IDB" \
  -DINSTALL="$top/install" -DOUTFILE="$out/ImpApiKorvalix-$version-setup.exe" "$top/install/windows/ImpApiKorvalix.nsi"
echo "$out/ImpApiKorvalix-$version-setup.exe"
