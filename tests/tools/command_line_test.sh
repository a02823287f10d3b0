#!/usr/bin/env bash
# Every program and subcommand answers --help (standard output, exit 0) and --version (the
# project's version), and a wrong command line is a line on standard error with exit 2.
# Usage: command_line_test.sh BUILD_BIN_DIR VERSION
set -uo pipefail

bin=${1:?usage: command_line_test.sh BUILD_BIN_DIR VERSION}
version=${2:?usage: command_line_test.sh BUILD_BIN_DIR VERSION}
work=$(mktemp -d "${TMPDIR:-/tmp}/kx-command-line-XXXXXX")
trap 'rm -rf "$work"' EXIT
unset LC_ALL LC_MESSAGES LANG
failures=0

# command line | exit status | the stream that holds the text (the other stays empty) | its first line
while IFS='|' read -r command status stream first; do
  [ -z "$command" ] && continue
  read -ra words <<<"$command"
  code=0
  "$bin/${words[0]}" "${words[@]:1}" >"$work/out" 2>"$work/err" </dev/null || code=$?
  other=$([ "$stream" = out ] && echo err || echo out)
  if [ "$code" != "$status" ] || [ -s "$work/$other" ] || ! head -n1 "$work/$stream" | grep -q -- "$first"; then
    echo "FAIL: $command: exit $code, stdout: $(head -c 300 "$work/out"), stderr: $(head -c 300 "$work/err")"
    failures=$((failures + 1))
  fi
done <<TABLE
kximport --help|0|out|^Usage: kximport --output-dir
kximport check --help|0|out|^Usage: kximport check
kximport check --settings --help|0|out|^Usage: kximport check
kximport access-data --help|0|out|^Usage: kximport access-data
kxdb --help|0|out|^Usage: kxdb create
kxdb create --help|0|out|^Usage: kxdb create
kxgen --help|0|out|^Usage: kxgen
kxprovider --help|0|out|^Usage:
kximport --version|0|out|^kximport $version\$
kximport check --version|0|out|^kximport $version\$
kxdb --version|0|out|^kxdb $version\$
kxgen --version|0|out|^kxgen $version\$
kxprovider --version|0|out|^kxprovider $version\$
kximport|2|err|^kximport: --output-dir fehlt
kximport --output-dir /tmp --frobnicate|2|err|^kximport: unbekanntes Argument '--frobnicate'
kximport --output-dir|2|err|^kximport: --output-dir braucht einen Wert
kximport check --frobnicate|2|err|^kximport: unbekanntes Argument '--frobnicate' (siehe kximport check --help)
kximport check --settings|2|err|^kximport: --settings braucht einen Wert
kximport check --deep|2|err|^kximport: check --deep braucht --login
kximport access-data --frobnicate x|2|err|^kximport: unbekanntes Argument
kxdb|2|err|^kxdb: 
kxdb frobnicate x|2|err|^kxdb: 
kxgen|2|err|^kxgen: --out
kxgen --seed|2|err|^kxgen: --seed needs a value
kxprovider --frobnicate|2|err|^kxprovider: unknown argument
TABLE

# One English case: the same rule as the check's texts.
LANG=en_GB.UTF-8 "$bin/kximport" check --deep 2>"$work/err" >/dev/null
grep -q '^kximport: check --deep needs --login' "$work/err" ||
  { echo "FAIL: no English usage error under an English locale"; failures=$((failures + 1)); }

[ "$failures" = 0 ] && echo PASS
exit $((failures > 0))
