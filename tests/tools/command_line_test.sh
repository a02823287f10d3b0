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
# A schema whose statement fails: kxdb create removes the database it made.
echo "create table broken (" >"$work/broken.sql"

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
kximport --help|0|out|^Aufruf: kximport --output-dir
kximport check --help|0|out|^Aufruf: kximport check
kximport check --settings --help|0|out|^Aufruf: kximport check
kximport access-data --help|0|out|^Aufruf: kximport access-data
kxdb --help|0|out|^Aufruf: kxdb create
kxdb create --help|0|out|^Aufruf: kxdb create
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
kximport --output-dir /tmp --login --pin-file x|2|err|^kximport: --login braucht einen Wert
kximport --output-dir /tmp --advisor a --advisor b|2|err|^kximport: --advisor ist mehr als einmal angegeben
kximport --output-dir /tmp --pin a --pin-file b|2|err|^kximport: --pin/--pin-file ist mehr als einmal angegeben
kximport --output-dir /tmp --verbose --verbose|2|err|^kximport: --verbose ist mehr als einmal angegeben
kximport --output-dir /tmp --settings $work/typo.reg|2|err|^kximport: Einstellungsdatei $work/typo.reg (--settings) nicht gefunden
kximport check --frobnicate|2|err|^kximport: unbekanntes Argument '--frobnicate' (siehe kximport check --help)
kximport check --settings|2|err|^kximport: --settings braucht einen Wert
kximport check --settings a --settings b|2|err|^kximport: --settings ist mehr als einmal angegeben
kximport check --deep|2|err|^kximport: check --deep braucht --login
kximport access-data --frobnicate x|2|err|^kximport: unbekanntes Argument
kximport access-data --user --password x|2|err|^kximport: --user braucht einen Wert
kxdb|2|err|^kxdb: Unterbefehl fehlt
kxdb frobnicate x|2|err|^kxdb: unbekannter Unterbefehl 'frobnicate'
kxdb create|2|err|^kxdb: falsche Befehlszeile für create
kxdb create $work/broken.IDB --schema $work/broken.sql|1|err|^kxdb: $work/broken.sql: Anweisung 1
kxgen|2|err|^kxgen: --out
kxgen --seed|2|err|^kxgen: --seed needs a value
kxprovider --frobnicate|2|err|^kxprovider: unknown argument
TABLE

# kximport's and kxdb's own texts in one language: German, English when the locale says so (LC_ALL before
# LANG). environment | command line | stream | what it holds | words of the other language it lacks
while IFS='|' read -r environment command stream holds lacks; do
  read -ra words <<<"$command"
  # shellcheck disable=SC2086 # the environment is words
  env -u LC_ALL -u LC_MESSAGES -u LANG $environment "$bin/${words[0]}" "${words[@]:1}" >"$work/out" 2>"$work/err" </dev/null
  IFS=';' read -ra wanted <<<"$holds"
  for pattern in "${wanted[@]}"; do
    grep -q -- "$pattern" "$work/$stream" || { echo "FAIL: $environment $command: no '$pattern'"; failures=$((failures + 1)); }
  done
  IFS=';' read -ra unwanted <<<"$lacks"
  for word in "${unwanted[@]}"; do
    ! grep -qw -- "$word" "$work/$stream" || { echo "FAIL: $environment $command: '$word'"; failures=$((failures + 1)); }
  done
done <<TABLE
LANG=de_DE.UTF-8|kximport --help|out|^Aufruf: kximport;^Optionen:;^Beispiel:|Usage;Options;Example;the;status
LANG=en_GB.UTF-8|kximport --help|out|^Usage: kximport;^Options:;^Example:|Aufruf;Optionen;Beispiel;der;die;und
LC_ALL=en_US.UTF-8 LANG=de_DE.UTF-8|kximport check --help|out|^Usage: kximport check|Aufruf;der;die;und
LANG=de_DE.UTF-8|kximport access-data --help|out|^Aufruf: kximport access-data|Usage;the;and
LANG=de_DE.UTF-8|kximport check --deep|err|^kximport: check --deep braucht --login|needs
LANG=en_GB.UTF-8|kximport check --deep|err|^kximport: check --deep needs --login|braucht
LANG=en_GB.UTF-8|kximport --output-dir /tmp --last-import x|err|^kximport: --last-import needs a number|braucht;nicht
LANG=en_GB.UTF-8|kxdb --help|out|^Usage: kxdb create|Aufruf;der;die;und
VELQORA_REGISTRY=$work/typo.reg|kximport --output-dir /tmp|err|^kximport: Einstellungsdatei $work/typo.reg (VELQORA_REGISTRY) nicht gefunden|Warnung
LANG=de_DE.UTF-8|kxdb frobnicate x|err|^kxdb: unbekannter Unterbefehl;^  kxdb create PFAD|unknown;subcommand
LANG=en_GB.UTF-8|kxdb|err|^kxdb: no subcommand;^  kxdb check PATH|Unterbefehl;fehlt
TABLE

# The database of the failed create is gone, so that the next create makes it anew.
[ ! -e "$work/broken.IDB" ] || { echo "FAIL: kxdb create left a partial $work/broken.IDB"; failures=$((failures + 1)); }

[ "$failures" = 0 ] && echo PASS
exit $((failures > 0))
