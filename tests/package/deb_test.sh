#!/usr/bin/env bash
# The Debian package as a user meets it: lintian finds no error, apt-get installs it, kximport and
# kxdb run from the installed files, and removing it (with --purge) leaves none of its files.
# Usage: deb_test.sh PACKAGE.deb  (as root: it installs and removes the package)
set -euo pipefail
deb=$(realpath "${1:?usage: deb_test.sh PACKAGE.deb}")
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: installing a package needs root"
  exit 77
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/kx-deb-XXXXXX")
trap 'apt-get remove --purge -y -qq impapikorvalix >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
unset LANG LC_ALL LC_MESSAGES VELQORA_REGISTRY

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

echo "== lintian"
lintian --no-tag-display-limit "$deb" >"$work/lintian" 2>&1 || true
! grep -q '^E:' "$work/lintian" || fail "lintian reports errors: $(grep '^E:' "$work/lintian")"

echo "== install"
apt-get install -y -qq "$deb" >"$work/apt" 2>&1 || fail "apt-get install failed: $(tail -n 20 "$work/apt")"
for file in /usr/bin/kximport /usr/bin/kxdb /usr/lib/impapikorvalix/libImpApiKorvalix.so \
  /usr/share/impapikorvalix/TRANSAKT.txt /usr/share/impapikorvalix/KORVALIX.xsd /usr/share/man/man1/kximport.1.gz \
  "/usr/share/doc/impapikorvalix/Die Schnittstelle zu KORVALIX.pdf" /etc/velqora/tavo/registry.reg; do
  [ -e "$file" ] || fail "$file is not installed"
done
grep -qx /etc/velqora/tavo/registry.reg /var/lib/dpkg/info/impapikorvalix.conffiles ||
  fail "the settings file is no configuration file"

echo "== run from the installed files"
cd "$work"
kximport --help >"$work/help" && grep -q '^Aufruf: kximport' "$work/help" || fail "kximport --help"
zcat /usr/share/man/man1/kximport.1.gz >"$work/man" && grep -q '^kximport check' "$work/man" ||
  fail "the man page lacks the check"
mkdir -p host/xml_temp host/KORVALIX
cp /usr/share/impapikorvalix/*.txt host/KORVALIX/
kxdb create "$work/host/KORVALIX/KXDB.IDB" >/dev/null || fail "kxdb create with the installed schema"
# The example settings point at the provider's example address, which does not resolve here: the
# check names that, and every local item is fine.
kximport check --output-dir "$work/host/xml_temp" >"$work/check" 2>&1 && fail "the check passed: $(cat "$work/check")"
for line in '✓ Einstellungsdatei /etc/velqora/tavo/registry.reg' '✓ Spaltenzuordnung .*TRANSAKT.txt' \
  '✓ Staging-Datenbank: Schema vollständig' '✗ Anbieter https://provider.example'; do
  grep -q "^$line" "$work/check" || fail "no line '$line' in the check: $(cat "$work/check")"
done
# An import runs the installed library (no access data: it stops at the missing login).
kximport --output-dir "$work/host/xml_temp" --embedded-server --no-message-boxes >"$work/run" 2>&1 &&
  fail "an import without a login succeeded"
grep -q 'Ergebnis -12' "$work/run" || fail "the installed library did not run: $(cat "$work/run")"

echo "== remove"
cd /
apt-get remove --purge -y -qq impapikorvalix >"$work/apt" 2>&1 || fail "apt-get remove failed: $(cat "$work/apt")"
for file in /usr/bin/kximport /usr/lib/impapikorvalix /usr/share/impapikorvalix /etc/velqora/tavo/registry.reg; do
  [ ! -e "$file" ] || fail "$file is left after the removal"
done
echo "PASS"
