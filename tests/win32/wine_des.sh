#!/bin/sh
# Compares the Windows build's request encoding with OpenSSL's DES:
#   wine_des.sh WINE OPENSSL ENCODE_EXE
# For each text: the CryptoAPI cipher of the padded text must equal OpenSSL's, the encoded request
# must be the percent-encoded Base64 of IV + cipher, and decoding it must give the text back.
set -eu
wine=$1
openssl=$2
encoder=$3
key=7038487832566d5a # "p8Hx2VmZ"
iv=5277346b54376e51  # "Rw4kT7nQ"

# Lengths around the block size, and the two request texts of a run.
set -- "" "a" "1234567" "12345678" "123456789" "0123456789abcdef" "0123456789abcdefg" \
  "version=2;file=bestaende;loginid=12345;pin=geheim;" \
  "version=2;file=transaktionen;loginid=12345;pin=geheim;startid=0;startid2=0;reimport=1"

hex() { od -An -v -tx1 | tr -d ' \n'; }

# The text followed by n bytes of value n, n = 8 - length mod 8 (1..8).
padded() {
  n=$((8 - $(printf '%s' "$1" | wc -c) % 8))
  printf '%s' "$1"
  i=0
  while [ $i -lt $n ]; do
    printf "\\$(printf '%03o' $n)"
    i=$((i + 1))
  done
}

openssl_des() {
  "$openssl" enc -des-cbc -K $key -iv $iv -nopad -provider legacy -provider default
}

# Base64 without line breaks; every byte but letters and digits as %XX.
url_base64() {
  base64 -w0 | sed 's/+/%2B/g; s#/#%2F#g; s/=/%3D/g'
}

output=$(timeout 120 "$wine" "$encoder" "$@")
output=$(printf '%s\n' "$output" | tr -d '\r')
count=$(printf '%s\n' "$output" | grep -c '^cipher=' || true)
if [ "$count" -ne $# ]; then
  printf 'expected %d lines, got:\n%s\n' $# "$output"
  exit 1
fi

status=0
line=1
for text in "$@"; do
  got=$(printf '%s\n' "$output" | sed -n "${line}p")
  line=$((line + 1))
  cipher=$(padded "$text" | openssl_des | hex)
  encoded=$( (printf 'Rw4kT7nQ'; padded "$text" | openssl_des) | url_base64)
  decoded=$(printf '%s' "$text" | hex)
  expected="cipher=$cipher encoded=$encoded decoded=$decoded"
  length=$(printf '%s' "$text" | wc -c)
  if [ "$got" = "$expected" ]; then
    echo "ok   $length bytes \"$text\": cipher=$cipher"
  else
    echo "FAIL $length bytes \"$text\""
    echo "     expected $expected"
    echo "     got      $got"
    status=1
  fi
done
exit $status
