# shellcheck shell=bash
# shellcheck disable=SC2154 # wine and work are set by the sourcing script
# What the import-run tests under Wine share (wine_run.sh, wine_run_db.sh); sourced after WINE is
# in $wine and the work folder in $work.
#
#   check WHAT EXPECTED ACTUAL          one result line; counts into $checks and $failures
#   check_contains WHAT NEEDLE ACTUAL   the same for "ACTUAL contains NEEDLE"
#   finish                              the summary line; fails when a check failed
#   write_settings DATA_DIR [IMPORT_DB] the library's settings key, with the simulator as service
#   run_export RUNNER DLL OUTPUT_DIR NAME
#                                       a follow-up import (lastImport 1.0, start ids given, so no
#                                       message box) through kxrun_win, started in the runner's
#                                       folder (where LoadLibrary looks for the client library):
#                                       $work/NAME.out (CR removed, runs of equal lines once),
#                                       $work/NAME.err
#   printable TEXT                      TEXT as kxrun_win prints it: every backslash doubled
#   prepare_server_import LINUX_BIN SOURCE_DIR CUSTOMERS PROGRAM...
#                                       an empty staging database through the Firebird server
#                                       ($database), provider data of login 12345 / PIN geheim in
#                                       $work/data, the maps in $work/abruf, $work/xml_temp, and
#                                       the programs in $work/bin, the last one (the bridge
#                                       gds32.dll.so) under the name the library loads

checks=0
failures=0
check() {
  checks=$((checks + 1))
  if [ "$2" = "$3" ]; then
    printf 'ok   %s:\n%s\n' "$1" "$3" | sed '2,$s/^/       /'
  else
    failures=$((failures + 1))
    printf 'FAIL %s\n     expected:\n%s\n     got:\n%s\n' "$1" "$(printf '%s\n' "$2" | sed 's/^/       /')" \
      "$(printf '%s\n' "$3" | sed 's/^/       /')"
  fi
}

check_contains() {
  checks=$((checks + 1))
  case $3 in
    *"$2"*) echo "ok   $1: $3" ;;
    *)
      failures=$((failures + 1))
      printf 'FAIL %s\n     expected a text containing: %s\n     got: %s\n' "$1" "$2" "$3"
      ;;
  esac
}

finish() {
  echo "$checks checks, $failures failed"
  [ "$failures" -eq 0 ]
}

printable() { printf '%s' "${1//\\/\\\\}"; }

# The key is written whole, as every test that uses it does. DATA_DIR is a Wine path ending with a
# backslash: the library appends the file names to it as they are.
write_settings() {
  local data_dir=$1 import_db=${2:-} debug_mode=${3:-0}
  {
    printf 'REGEDIT4\r\n\r\n'
    printf '[-HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX]\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX]\r\n'
    printf '"DownloadSrvUrl"="http://127.0.0.1:%s/modules/tavo/onlinedatatransfer.php"\r\n' "$SIM_PORT"
    printf '"Timeout"="30"\r\n"DebugMode"="%s"\r\n' "$debug_mode"
    printf '"DataDir"="%s"\r\n' "$(printable "$data_dir")"
    if [ -n "$import_db" ]; then printf '"ImportDB"="%s"\r\n' "$(printable "$import_db")"; fi
  } >"$work/settings.reg"
  timeout 60 "$wine" regedit /s "$(timeout 30 "$wine" winepath -w "$work/settings.reg")"
}

run_export() {
  local runner=$1 dll=$2 output_dir=$3 name=$4 dll_path
  dll_path=$(timeout 30 "$wine" winepath -w "$dll")
  (
    cd "$(dirname "$runner")"
    timeout 120 "$wine" "$runner" "--dll=$dll_path" "--output=$output_dir" --advisor=12345 \
      --last-import=1.0 EmbeddedIBServer=TRUE NoMessageBoxes=TRUE UserLogin=12345 Password=geheim \
      startid1=815 startid2=4711 2>"$work/$name.err"
  ) | tr -d '\r' | uniq >"$work/$name.out" || true
  if [ -s "$work/$name.err" ]; then echo "     stderr of $name: $(cat "$work/$name.err")"; fi
}

prepare_server_import() {
  local linux_bin=$1 source_dir=$2 customers=$3 map
  shift 3
  # The server opens the database as user firebird: the folder is its, and the way to it open.
  chmod 755 "$work"
  mkdir "$work/db"
  if ! chown firebird:firebird "$work/db" || ! chmod 2770 "$work/db"; then
    echo "FAIL cannot hand $work/db to user firebird (run as root, with firebird3.0-server installed)"
    exit 1
  fi
  database="localhost:$work/db/KXDB.IDB"
  if ! "$linux_bin/kxdb" create "$database"; then
    echo "FAIL cannot create $database through the server (start it: scripts/firebird-server.sh start)"
    exit 1
  fi
  # Provider data in the real formats: customers with depots, holdings and transactions, umlauts
  # included, and start ids for the next import.
  "$linux_bin/kxgen" --out "$work/data/12345" --customers "$customers" --seed 3 --start-ids 9001,77 >/dev/null
  printf '12345;geheim\n' >"$work/data/accounts.txt"
  mkdir -p "$work/abruf" "$work/xml_temp" "$work/bin"
  for map in BESTAND.txt TRANSAKT.txt DBSTARTIDS.txt; do cp "$source_dir/install/$map" "$work/abruf/"; done
  while [ $# -gt 1 ]; do cp "$1" "$work/bin/"; shift; done
  cp "$1" "$work/bin/gds32.dll"
}
