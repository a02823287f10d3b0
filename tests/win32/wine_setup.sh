#!/usr/bin/env bash
# The Windows installer under Wine, in a fresh prefix of its own: a silent install with command-line
# values into a host folder whose executable has the prefix's width, the files, the DLL of that
# width and the settings key in that registry view, the ABI host's checks and an offline import
# run through the installed DLL and database (through the Firebird server and the bridge
# gds32.dll), an update, the host changing its width, the silent removal, and then which DLL other
# host folders get.
#   wine_setup.sh WINE WINESERVER WINEARCH SETUP_EXE HOST_EXE RUN_EXE BRIDGE SOURCE_DIR LINUX_BIN
# WINE is the loader of WINEARCH's width (/usr/lib/wine/wine64 for win64), SETUP_EXE an installer
# it runs (the -x64 one for win64). HOST_EXE, the ABI test host of that width, also stands in as the
# host's executable; one of the other width is a bare PE header (the installer reads no more).
# The installer runs signed with a throw-away certificate, as a signed release would. RUN_EXE or
# BRIDGE "-": the offline run is left out, with a line that says so. Run as root with the Firebird
# server running (the fixture starts it). One line per check; exit code 0 only when every check
# passed, 77 (skipped) when there is no installer yet.
set -eu -o pipefail
wine=$1
wineserver=$2
arch=$3
setup=$4
host_exe=$5
runner=$6
bridge=$7
source_dir=$8
linux_bin=$9
# shellcheck source=wine_run_support.sh
. "$(dirname "$0")/wine_run_support.sh"
if [ ! -f "$setup" ]; then
  echo "skipped: no installer $setup (make package builds it)"
  exit 77
fi
if [ "$runner" = - ]; then runner=; fi
if [ "$bridge" = - ]; then bridge=; fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kxwinesetup.XXXXXX")
export WINEPREFIX=$work/prefix WINEARCH=$arch
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY

# The settings key as seen from a program of each width. A 64-bit prefix keeps a 32-bit program's
# HKLM\Software under Wow6432Node; a 32-bit prefix has one view only.
key=Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX
# native is the prefix's width (the machine field of its programs), other the other one.
if [ "$arch" = win64 ]; then
  native=8664 other=014c key64="HKLM\\$key" key32="HKLM\\Software\\Wow6432Node\\Velqora\\TAVO\\ImportAPI\\KORVALIX"
  native_key=$key64 other_key=$key32
else
  native=014c other=8664 key64="HKLM\\$key" key32="HKLM\\$key"
  native_key=$key32 other_key=$key64
fi

# The machine field of a PE file's header (8664 x64, 014c i386).
pe_machine() {
  [ -f "$1" ] || { echo missing; return; }
  od -An -tx2 -j$(($(od -An -tu4 -j60 -N4 "$1") + 4)) -N2 "$1" | tr -d ' '
}
# A host executable of the given machine: the ABI host where it has the prefix's width, else a
# bare PE header whose PE signature lies where a linker puts it (e_lfanew 0x80).
host_program() {
  if [ "$1" = "$native" ]; then
    cp "$host_exe" "$2"
  else
    { printf 'MZ'; head -c 58 /dev/zero; printf '\x80\0\0\0'; head -c 64 /dev/zero; printf 'PE\0\0'
      printf '%b' "\\x${1:2:2}\\x${1:0:2}"; head -c 256 /dev/zero; } >"$2"
  fi
}
# The values of a registry key, one per line, blanks squeezed; "no key" when it does not exist.
settings() {
  local out
  if out=$(timeout 60 "$wine" reg query "$1" </dev/null 2>/dev/null); then
    tr -d '\r' <<<"$out" | tr -s ' ' | sed 's/^ //'
  else
    echo "no key"
  fi
}
# A silent run of the installer with the given options; prints its exit code.
run_setup() {
  local status=0
  timeout 120 "$wine" "$setup_path" /S "$@" </dev/null || status=$?
  "$wineserver" -w
  echo "exit $status"
}

timeout 300 "$wine" wineboot -i >/dev/null 2>&1
host=$WINEPREFIX/drive_c/Host
data=$host/KORVALIX
database="localhost:$data/KXDB.IDB"

# --- The installer signed with a throw-away certificate: Authenticode's certificate table, appended
# to a finished installer, must not upset its own integrity check. Who signed the installer as
# built (nobody, unless make package was given a certificate) must have signed what it installs.
signer() {
  local who
  who=$(osslsigncode verify -in "$1" 2>&1 | sed -n 's/^[[:space:]]*Subject: //p' | head -n 1) || true
  echo "${who:-unsigned}"
}
release_signer=$(signer "$setup")
openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=ImpApiKorvalix-test -days 2 -keyout "$work/key.pem" \
  -out "$work/cert.pem" 2>/dev/null
cp "$setup" "$work/setup.exe"
KX_SIGN_CERT=$work/cert.pem KX_SIGN_KEY=$work/key.pem bash "$source_dir/scripts/make-setup.sh" --sign "$work/setup.exe"
setup_path=$(timeout 30 "$wine" winepath -w "$work/setup.exe")

# --- Silent install with the settings on the command line, into a host of the prefix's width; an
# uninstaller of the other width beside it is no host program.
mkdir -p "$host"
host_program "$native" "$host/Host.exe"
host_program "$other" "$host/unins000.exe"
check "the first install" "exit 0" "$(run_setup "/URL=http://127.0.0.1:9/modules/tavo/onlinedatatransfer.php" \
  /TIMEOUT=30 /DEBUGMODE=2 "/IMPORTDB=$database" '/D=C:\Host')"
for file in ImportApi/ImpApiKorvalix.dll "ImportApi/KORVALIX/Die Schnittstelle zu KORVALIX.pdf" \
  ImportApi/KORVALIX/uninstall-ImpApiKorvalix.exe KORVALIX/BESTAND.txt KORVALIX/TRANSAKT.txt \
  KORVALIX/DBSTARTIDS.txt KORVALIX/KXDB.IDB; do
  check "installed: $file" yes "$([ -f "$host/$file" ] && echo yes || echo missing)"
done
check "the DLL has the host's width" "$native" "$(pe_machine "$host/ImportApi/ImpApiKorvalix.dll")"
check "the DLL and the uninstaller signed as the installer" "$release_signer/$release_signer" \
  "$(signer "$host/ImportApi/ImpApiKorvalix.dll")/$(signer "$host/ImportApi/KORVALIX/uninstall-ImpApiKorvalix.exe")"
for value in "DownloadSrvUrl REG_SZ http://127.0.0.1:9/modules/tavo/onlinedatatransfer.php" \
  "Timeout REG_SZ 30" "DebugMode REG_SZ 2" "ImportDB REG_SZ $database" 'DataDir REG_SZ C:\Host\KORVALIX\'; do
  check_contains "settings in $native_key: $value" "$value" "$(settings "$native_key")"
done
if [ "$key32" != "$key64" ]; then
  check "no settings in the 32-bit view" "no key" "$(settings "$key32")"
fi

# --- The ABI host's checks of every export, on the installed DLL with the installed settings.
status=0
(cd "$work" && timeout 120 "$wine" "$host_exe" '--dll=C:\Host\ImportApi\ImpApiKorvalix.dll' \
  '--datadir=C:\Host\KORVALIX\') >"$work/host.out" 2>&1 || status=$?
check "the ABI host's checks of the installed DLL" "exit 0" "exit $status$([ "$status" = 0 ] || grep FAIL "$work/host.out")"

# --- An offline run through the installed DLL: the debug copies in the installed data directory,
# the installed database opened by the server, which runs as user firebird.
if [ -n "$runner" ] && [ -n "$bridge" ]; then
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
else
  echo "skip the offline run: no runner or database bridge of this width given"
  touch "$data/bestandsdaten.csv" "$data/tra_error.log"  # what the run leaves for the removal below
fi

# --- An update (the installer again, without values) keeps the filled database and the settings.
before=$(md5sum <"$data/KXDB.IDB")
check "the update" "exit 0" "$(run_setup '/D=C:\Host')"
check "an update keeps the staging database" same "$([ "$(md5sum <"$data/KXDB.IDB")" = "$before" ] && echo same || echo replaced)"
check_contains "an update keeps the settings" "ImportDB REG_SZ $database" "$(settings "$native_key")"

# --- The host changes its width (a 64-bit host replaced by its 32-bit edition, or the reverse):
# the update installs the other DLL and moves the settings to the other view.
host_program "$other" "$host/Host.exe"
check "the update for the host's other width" "exit 0" "$(run_setup '/D=C:\Host')"
check "the DLL has the host's new width" "$other" "$(pe_machine "$host/ImportApi/ImpApiKorvalix.dll")"
check_contains "the settings moved to $other_key" "ImportDB REG_SZ $database" "$(settings "$other_key")"
if [ "$key32" != "$key64" ]; then
  check "no settings left in $native_key" "no key" "$(settings "$native_key")"
fi

# --- Silent removal: the installed files and the key (in the view it was written to) go, the
# provider files and logs stay.
timeout 120 "$wine" 'C:\Host\ImportApi\KORVALIX\uninstall-ImpApiKorvalix.exe' /S
"$wineserver" -w
for file in ImportApi KORVALIX/BESTAND.txt KORVALIX/KXDB.IDB; do
  check "removed: $file" gone "$([ -e "$host/$file" ] && echo left || echo gone)"
done
check "kept: the provider file and the log" kept \
  "$([ -f "$data/bestandsdaten.csv" ] && [ -f "$data/tra_error.log" ] && echo kept || echo removed)"
check "the settings key is removed" "no key/no key" "$(settings "$key64")/$(settings "$key32")"

# --- Which DLL a host folder gets: its executables (machines, space-separated, as Prog1.exe ...),
# the command line's /HOSTEXE, the installer's exit code and the DLL's machine.
while read -r name machines option expected; do
  folder=$WINEPREFIX/drive_c/$name
  mkdir -p "$folder"
  i=0
  for machine in ${machines//,/ }; do
    i=$((i + 1))
    if [ "$machine" != - ]; then host_program "$machine" "$folder/Prog$i.exe"; fi
  done
  args=('/URL=http://127.0.0.1:9/')
  if [ "$option" != - ]; then args+=("/HOSTEXE=$option"); fi
  result=$(run_setup "${args[@]}" "/D=C:\\$name")
  check "host $name ($machines, /HOSTEXE=$option)" "$expected" "$result $(pe_machine "$folder/ImportApi/ImpApiKorvalix.dll")"
done <<'EOF'
NoProgram      -          -                    exit 0 014c
BothWidths     8664,014c  -                    exit 0 014c
ChosenByName   014c,8664  Prog2.exe            exit 0 8664
ChosenByPath   014c       C:\BothWidths\Prog1.exe  exit 0 8664
NoSuchProgram  8664       Missing.exe          exit 2 missing
EOF
finish
