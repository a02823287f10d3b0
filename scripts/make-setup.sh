#!/usr/bin/env bash
# The Windows installers from both Windows builds' DLLs, the Linux build's manual and an empty
# staging database made by the Linux build's kxdb (Firebird 3 writes the same on-disk format on
# both): ImpApiKorvalix-<version>-setup.exe, a 32-bit program for every Windows, in
# BUILD_DIR/win32/package, and ImpApiKorvalix-<version>-setup-x64.exe, the same as a 64-bit
# program, in BUILD_DIR/win64/package. Both carry both DLLs.
#
#   make-setup.sh BUILD_DIR VERSION   (BUILD_DIR holds linux/, win32/ and win64/)
#   make-setup.sh --sign FILE         signs FILE in place, as the installers' files are signed
#
# Authenticode signing of the DLLs (before they go into the installers), the installers and their
# uninstaller, when KX_SIGN_CERT (PEM certificate, its chain may follow) and KX_SIGN_KEY (PEM
# private key) are set; KX_SIGN_PASS is the key's password, if it has one. Without them nothing is
# signed.
set -euo pipefail

sign() {
  local file=$1 signed=$1.signing
  local args=(-certs "$KX_SIGN_CERT" -key "$KX_SIGN_KEY" -h sha256 -n ImpApiKorvalix)
  rm -f "$signed"
  # The password through a pipe, so that no process list shows it.
  if [ -n "${KX_SIGN_PASS:-}" ]; then
    osslsigncode sign "${args[@]}" -readpass <(printf '%s' "$KX_SIGN_PASS") -in "$file" -out "$signed" >/dev/null
  else
    osslsigncode sign "${args[@]}" -in "$file" -out "$signed" >/dev/null
  fi
  mv "$signed" "$file"
}

if [ "${1:-}" = --sign ]; then
  sign "${2:?usage: make-setup.sh --sign FILE}"
  exit
fi

build=$(realpath "${1:?usage: make-setup.sh BUILD_DIR VERSION}")
version=${2:?usage: make-setup.sh BUILD_DIR VERSION}
top=$(cd "$(dirname "$0")/.." && pwd)
manual="$build/linux/manual/Die Schnittstelle zu KORVALIX.pdf"

signing=()
if [ -n "${KX_SIGN_CERT:-}" ] && [ -n "${KX_SIGN_KEY:-}" ]; then
  for file in "$KX_SIGN_CERT" "$KX_SIGN_KEY"; do
    [ -r "$file" ] || { echo "make-setup: cannot read $file" >&2; exit 1; }
  done
  KX_SIGN_CERT=$(realpath "$KX_SIGN_CERT") KX_SIGN_KEY=$(realpath "$KX_SIGN_KEY")
  export KX_SIGN_CERT KX_SIGN_KEY
  signing=("-DSIGNCOMMAND=bash \"$top/scripts/make-setup.sh\" --sign")
  echo "make-setup: signing the DLLs, installers and uninstaller with $KX_SIGN_CERT"
elif [ -n "${KX_SIGN_CERT:-}${KX_SIGN_KEY:-}" ]; then
  # One of the two is a slip: an unsigned release must not pass for a signed one.
  echo "make-setup: signing needs both KX_SIGN_CERT and KX_SIGN_KEY; only one is set" >&2
  exit 1
else
  echo "make-setup: KX_SIGN_CERT and KX_SIGN_KEY are not set: nothing is signed"
fi
for file in "$build/win32/bin/ImpApiKorvalix.dll" "$build/win64/bin/ImpApiKorvalix.dll" "$manual" \
  "$build/linux/bin/kxdb"; do
  [ -e "$file" ] || { echo "make-setup: $file is missing; build the linux, win32 and win64 targets first" >&2; exit 1; }
done

# The DLLs go into the installers as copies, signed there, so the builds' own files stay as linked.
stage=$build/win32/package/dlls
mkdir -p "$stage/32" "$stage/64" "$build/win64/package"
for bits in 32 64; do
  cp "$build/win$bits/bin/ImpApiKorvalix.dll" "$stage/$bits/"
  if [ ${#signing[@]} -gt 0 ]; then sign "$stage/$bits/ImpApiKorvalix.dll"; fi
done
rm -f "$stage/KXDB.IDB"
"$build/linux/bin/kxdb" create "$stage/KXDB.IDB" >/dev/null

for target in x86-unicode:win32:setup amd64-unicode:win64:setup-x64; do
  IFS=: read -r nsis_target dir suffix <<<"$target"
  name=ImpApiKorvalix-$version-$suffix.exe
  makensis -V2 -INPUTCHARSET UTF8 -DTARGET="$nsis_target" -DVERSION="$version" -DDLL32="$stage/32/ImpApiKorvalix.dll" \
    -DDLL64="$stage/64/ImpApiKorvalix.dll" -DMANUAL="$manual" -DDATABASE="$stage/KXDB.IDB" -DINSTALL="$top/install" \
    -DOUTFILE="$build/$dir/package/$name" -DSETUPNAME="$name" "${signing[@]}" "$top/install/windows/ImpApiKorvalix.nsi"
  echo "$build/$dir/package/$name"
done
