#!/usr/bin/env bash
# The man page kximport(1) from the README's "## kximport(1)" section: its bold headings become
# sections, list items indented paragraphs, code blocks no-fill blocks and `code` bold.
# Usage: readme-to-man.sh README.md VERSION > kximport.1
set -euo pipefail
readme=${1:?usage: readme-to-man.sh README.md VERSION}
version=${2:?usage: readme-to-man.sh README.md VERSION}
awk -v version="$version" '
  function roff(text) {
    gsub(/\\/, "\\e", text)
    gsub(/\*\*/, "", text)
    while (match(text, /`[^`]*`/)) {
      text = substr(text, 1, RSTART - 1) "\\fB" substr(text, RSTART + 1, RLENGTH - 2) "\\fR" substr(text, RSTART + RLENGTH)
    }
    gsub(/-/, "\\-", text)
    if (text ~ /^[.\047]/) text = "\\&" text
    return text
  }
  /^## kximport\(1\)/ { inside = 1; print ".TH KXIMPORT 1 \"\" \"kximport " version "\" \"User Commands\""; next }
  inside && /^## / { exit }
  !inside { next }
  /^```/ { code = !code; print code ? ".nf" : ".fi"; next }
  code { print roff($0); next }
  /^\*\*[A-Z ]+\*\*/ {
    match($0, /^\*\*[A-Z ]+\*\*/)
    print ".SH " substr($0, 3, RLENGTH - 4)
    section = substr($0, 3, RLENGTH - 4)
    rest = substr($0, RLENGTH + 2)
    if (section == "NAME") sub(/ — /, " - ", rest)  # whatis reads "name \- summary"
    if (rest != "") print roff(rest)
    next
  }
  /^- / { print ".IP \\(bu 2"; print roff(substr($0, 3)); next }
  /^$/ { print ".PP"; next }
  { sub(/^ +/, ""); print roff($0) }
' "$readme"
