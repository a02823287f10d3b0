#!/usr/bin/env bash
# The version resource (VERSIONINFO) of a Windows file, read back with wrestool (icoutils): the
# numbers Windows compares on an update and the texts its properties page shows.
#   version_resource.sh VERSION FILE ORIGINAL_FILENAME FILE_DESCRIPTION
# Exit code 77 (skipped) when FILE is not built (the installers before make package).
set -eu -o pipefail
version=$1
file=$2
name=$3
description=$4
# shellcheck source=wine_run_support.sh
. "$(dirname "$0")/wine_run_support.sh"  # check, finish

if [ ! -f "$file" ]; then
  echo "skipped: $file is not built (make package builds the installers)"
  exit 77
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/kxversion.XXXXXX")
trap 'rm -rf "$work"' EXIT
wrestool -x --raw -t 16 "$file" >"$work/version.res"
if [ ! -s "$work/version.res" ]; then
  echo "FAIL $file has no version resource"
  exit 1
fi

# The fixed part: FILEVERSION and PRODUCTVERSION as two 32-bit words each, after the signature
# 0xFEEF04BD and the structure's version.
signature=$(LC_ALL=C grep -obUaP '\xbd\x04\xef\xfe' "$work/version.res" | head -n 1 | cut -d: -f1)
numbers() {
  local high low
  read -r high low < <(od -An -tu4 -j"$1" -N8 "$work/version.res")
  echo "$((high >> 16)).$((high & 65535)).$((low >> 16)).$((low & 65535))"
}
check "FILEVERSION" "$version.0" "$(numbers $((signature + 8)))"
check "PRODUCTVERSION" "$version.0" "$(numbers $((signature + 16)))"

# The string table: UTF-16 keys, each followed by its value; the length words before a key come
# out as stray characters in front of it.
strings=$(iconv -f UTF-16LE -t UTF-8 -c "$work/version.res" | tr '\0' '\n' | grep -v '^$')
value() {
  awk -v key="$1" 'found { print; exit } substr($0, length($0) - length(key) + 1) == key { found = 1 }' <<<"$strings"
}
while IFS='|' read -r key expected; do
  check "$key" "$expected" "$(value "$key")"
done <<TABLE
FileVersion|$version
ProductVersion|$version
ProductName|ImpApiKorvalix
OriginalFilename|$name
FileDescription|$description
TABLE
finish
