#!/bin/sh
# The manual's PDF and its check.
#   manual.sh build SOURCE PDF          two passes of groff: the first reports each chapter's page
#                                       (.tm KXTOC), the second sets them into the table of contents
#   manual.sh check SOURCE PDF CODES_H  what a reader would miss on the rendered pages
set -eu
mode=$1 src=$(cd "$(dirname "$2")" && pwd)/$(basename "$2") pdf=$3

build() {
  # The table of contents lies beside the PDF under a name without blanks, which .so cannot take.
  dir=$(dirname "$pdf")
  toc="$dir/kx-manual.toc"
  groff -k -ms -Tpdf -z "$src" 2>&1 >/dev/null | awk -v toc="$toc" '
    BEGIN { print ".nf\n.lc ." > toc }
    !/^KXTOC / { print > "/dev/stderr"; next }
    {
      level = $2; number = $3; page = $4
      title = $0; sub(/^KXTOC [0-9]+ [0-9.]+ [0-9]+ /, "", title)
      if (level == 1) printf ".ta 2.5m \\n[.l]uR\n.sp 0.3v\n\\&%s.\t%s\001%s\n", number, title, page > toc
      else printf ".ta 2.5m 6m \\n[.l]uR\n\\&\t%s\t%s\001%s\n", number, title, page > toc
    }
    END { print ".fi" > toc }'
  (cd "$dir" && groff -k -ms -Tpdf -dKXTOC=kx-manual.toc "$src") >"$pdf.tmp"
  mv "$pdf.tmp" "$pdf"
}

fail() {
  echo "manual: $*" >&2
  status=1
}

check() {
  status=0
  warnings=$(groff -ww -k -ms -z "$src" 2>&1 | grep -v '^KXTOC ' || true)
  [ -z "$warnings" ] || fail "groff warns: $warnings"

  pages=$(pdfinfo "$pdf" | awk '/^Pages:/ { print $2 }')
  [ "$pages" -ge 10 ] || fail "only $pages pages"

  page=1
  while [ "$page" -le "$pages" ]; do
    text=$(pdftotext -layout -f "$page" -l "$page" "$pdf" -)
    echo "$text" | grep -v '^[[:space:]]*$' | tail -n 1 | grep -q "Seite $page\$" ||
      fail "page $page has no page number at its foot"
    # A Windows path where Linux applies too needs its Linux form beside it (same page).
    for path in $(echo "$text" | tr -s ' \t()[],;„“' '\n' | grep -F "\\" |
      grep -Ev '[A-Z]:\\|^(HKEY_|Software\\|SOFTWARE\\|ImportApi\\|\\|.*\.exe)'); do
      linux=$(echo "$path" | sed 's/[.:]$//; s|\\|/|g')
      echo "$text" | grep -qF "$linux" || fail "page $page: $path without its Linux form $linux"
    done
    page=$((page + 1))
  done

  all=$(pdftotext -layout "$pdf" -)
  # Every result code of the library, in the order of their amounts, in the chapter on them (the
  # part of the text after its last heading, the first being the table of contents).
  expected=$(grep -o '= -[0-9]*;' "$4" | tr -d '=; -' | sort -n -u | tr '\n' ' ')
  listed=$(echo "$all" | awk '/Ergebniscodes und was zu tun ist/ { part = "" } { part = part $0 "\n" }
      END { printf "%s", part }' | sed -n '/kximport unter Linux/q; s/^ *[−-]\([0-9][0-9]*\) .*/\1/p' |
    tr '\n' ' ')
  [ "$listed" = "$expected" ] || fail "result codes listed: $listed; expected: $expected"

  for letter in ä ö ü Ä Ö Ü ß; do
    echo "$all" | grep -q "$letter" || fail "no $letter rendered"
  done
  bad=$(echo "$all" | grep -nE 'Ã|Â|�|[[:alpha:]]\?[[:alpha:]]' || true)
  [ -z "$bad" ] || fail "garbled text: $bad"
  return $status
}

case $mode in
build) build ;;
check) check "$@" ;;
*) echo "usage: manual.sh build|check SOURCE PDF [CODES_H]" >&2; exit 2 ;;
esac
