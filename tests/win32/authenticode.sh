#!/usr/bin/env bash
# Authenticode signing as make package does it (make-setup.sh --sign), with a throw-away
# self-signed certificate, on copies of Windows files: the signature verifies against that
# certificate and a byte changed afterwards fails verification; once with a plain key and once
# with a password-protected one (KX_SIGN_PASS). And make-setup.sh refuses to build an unsigned
# release when only one of certificate and key is given.
#   authenticode.sh SOURCE_DIR FILE...   (files not built, such as the installers before
#                                         make package, are left out with a line)
set -eu -o pipefail
make_setup=$(realpath "$1/scripts/make-setup.sh")
shift
files=()
for file in "$@"; do files+=("$(realpath -m "$file")"); done
# shellcheck source=wine_run_support.sh
. "$(dirname "$0")/wine_run_support.sh"  # check, finish

work=$(mktemp -d "${TMPDIR:-/tmp}/kxsign.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out plain.key 2>/dev/null
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -aes-256-cbc -pass pass:geheim -out locked.key 2>/dev/null
for key in plain locked; do
  openssl req -x509 -key $key.key -passin pass:geheim -subj "/CN=ImpApiKorvalix test ($key)" -days 2 \
    -addext extendedKeyUsage=codeSigning -out $key.pem
done

verify() { osslsigncode verify -CAfile "$1" -in "$2" >/dev/null 2>&1 && echo verified || echo rejected; }

for file in "${files[@]}"; do
  if [ ! -f "$file" ]; then
    echo "skip $file: not built (make package builds the installers)"
    continue
  fi
  name=$(basename "$file")
  check "$name as built, against the throw-away certificate" rejected "$(verify plain.pem "$file")"
  while read -r key pass; do
    cp "$file" "$key-$name"
    KX_SIGN_CERT=$key.pem KX_SIGN_KEY=$key.key KX_SIGN_PASS=${pass#-} bash "$make_setup" --sign "$key-$name"
    check "$name signed with the $key key" verified "$(verify $key.pem "$key-$name")"
    check "$name signed with the $key key, against the other certificate" rejected "$(verify "$([ $key = plain ] && echo locked || echo plain).pem" "$key-$name")"
    size=$(stat -c %s "$key-$name")
    # Every bit of the middle byte inverted: writing a fixed value would change nothing where the
    # byte has that value already.
    byte=$(od -An -tu1 -j $((size / 2)) -N1 "$key-$name")
    printf "\\$(printf %03o $((byte ^ 255)))" | dd of="$key-$name" bs=1 seek=$((size / 2)) conv=notrunc status=none
    check "$name changed after signing" rejected "$(verify $key.pem "$key-$name")"
  done <<'TABLE'
plain  -
locked geheim
TABLE
done

status=0
KX_SIGN_CERT=plain.pem bash "$make_setup" "$work" 1.0.0 >/dev/null 2>make-setup.err || status=$?
check "make-setup.sh with a certificate but no key" "exit 1: make-setup: signing needs both KX_SIGN_CERT and KX_SIGN_KEY; only one is set" \
  "exit $status: $(cat make-setup.err)"
finish
