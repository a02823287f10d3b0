#!/usr/bin/env bash
# The Windows installer under Wine, in a fresh 32-bit prefix of its own: a silent install with
# command-line values, the files and the settings key it leaves, an offline import run through
# the installed DLL into the installed staging database (through the Firebird server and the
# bridge gds32.dll), and the silent removal.
#   wine_setup.sh WINE WINESERVER SETUP_EXE RUN_EXE HOST_EXE BRIDGE SOURCE_DIR LINUX_BIN
# Run as root with the Firebird server running (the fixture starts it). One line per check; exit
# code 0 only when every check passed.
set -eu -o pipefail
wine=$1
wineserver=$2
setup=$3
runner=$4
host_exe=$5
bridge=$6
source_dir=$7
linux_bin=$8
# shellcheck source=wine_run_support.sh
. "$(dirname "$0")/wine_run_support.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/kxwinesetup.XXXXXX")
export WINEPREFIX=$work/prefix WINEARCH=win32
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY

timeout 300 "$wine" wineboot -i >/dev/null 2>&1
host=$WINEPREFIX/drive_c/Host
data=$host/KORVALIX
database="localhost:$data/KXDB.IDB"

# --- Silent install with the settings on the command line.
timeout 120 "$wine" "$(timeout 30 "$wine" winepath -w "$setup")" /S \
  "/URL=http://127.0.0.1:9/modules/tavo/onlinedatatransfer.php" /TIMEOUT=30 /DEBUGMODE=2 \
  "/IMPORTDB=$database" '/D=C:\Host'
"$wineserver" -w
for file in ImportApi/ImpApiKorvalix.dll "ImportApi/KORVALIX/Die Schnittstelle zu KORVALIX.pdf" \
  ImportApi/KORVALIX/uninstall-ImpApiKorvalix.exe KORVALIX/BESTAND.txt KORVALIX/TRANSAKT.txt \
  KORVALIX/DBSTARTIDS.txt KORVALIX/KXDB.IDB; do
  check "installed: $file" yes "$([ -f "$host/$file" ] && echo yes || echo missing)"
done
settings=$(timeout 60 "$wine" reg query 'HKLM\Software\Velqora\TAVO\ImportAPI\KORVALIX' 2>/dev/null | tr -d '\r')
for value in "DownloadSrvUrl REG_SZ http://127.0.0.1:9/modules/tavo/onlinedatatransfer.php" \
  "Timeout REG_SZ 30" "DebugMode REG_SZ 2" "ImportDB REG_SZ $database" 'DataDir REG_SZ C:\Host\KORVALIX\'; do
  check_contains "settings: $value" "$value" "$(tr -s ' ' <<<"$settings" | sed 's/^ //')"
done

# --- The ABI host's checks of every export, on the installed DLL with the installed settings.
status=0
(cd "$work" && timeout 120 "$wine" "$host_exe" '--dll=C:\Host\ImportApi\ImpApiKorvalix.dll' \
  '--datadir=C:\Host\KORVALIX\') >"$work/host.out" 2>&1 || status=$?
check "the ABI host's checks of the installed DLL" "exit 0" "exit $status$([ "$status" = 0 ] || grep FAIL "$work/host.out")"

# --- An offline run through the installed DLL: the debug copies in the installed data directory,
# the installed database opened by the server, which runs as user firebird.
"$linux_bin/kxgen" --out "$data/debug" --customers 5 --seed 4 >/dev/null
chmod 755 "$work" "$WINEPREFIX" "$WINEPREFIX/drive_c" "$host"
chown firebird:firebird "$data" "$data/KXDB.IDB" && chmod 2770 "$data"
mkdir -p "$host/xml_temp" "$work/bin"
cp "$runner" "$work/bin/"
cp "$bridge" "$work/bin/gds32.dll"
run_export "$work/bin/$(basename "$runner")" "$host/ImportApi/ImpApiKorvalix.dll" 'C:\Host\xml_temp' run
check "the run's result" "result=0" "$(tail -n 1 "$work/run.out")"
check "the document is valid against KORVALIX.xsd" valid \
  "$(xmllint --noout --schema "$source_dir/install/KORVALIX.xsd" "$host/xml_temp/KORVALIX.XML" 2>&1 |
     sed 's|.* validates$|valid|')"

# --- An update (the installer again, without values) keeps the filled database and the settings.
before=$(md5sum <"$data/KXDB.IDB")
timeout 120 "$wine" "$(timeout 30 "$wine" winepath -w "$setup")" /S '/D=C:\Host'
"$wineserver" -w
check "an update keeps the staging database" same "$([ "$(md5sum <"$data/KXDB.IDB")" = "$before" ] && echo same || echo replaced)"
check_contains "an update keeps the settings" "ImportDB REG_SZ $database" \
  "$(timeout 60 "$wine" reg query 'HKLM\Software\Velqora\TAVO\ImportAPI\KORVALIX' 2>/dev/null | tr -d '\r' | tr -s ' ' | sed 's/^ //')"

# --- Silent removal: the installed files and the key go, the provider files and logs stay.
timeout 120 "$wine" 'C:\Host\ImportApi\KORVALIX\uninstall-ImpApiKorvalix.exe' /S
"$wineserver" -w
for file in ImportApi KORVALIX/BESTAND.txt KORVALIX/KXDB.IDB; do
  check "removed: $file" gone "$([ -e "$host/$file" ] && echo left || echo gone)"
done
check "kept: the provider file and the log" kept \
  "$([ -f "$data/bestandsdaten.csv" ] && [ -f "$data/tra_error.log" ] && echo kept || echo removed)"
check "the settings key is removed" gone \
  "$(timeout 60 "$wine" reg query 'HKLM\Software\Velqora\TAVO\ImportAPI\KORVALIX' >/dev/null 2>&1 && echo left || echo gone)"
finish
