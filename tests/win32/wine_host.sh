#!/bin/sh
# Puts one set of settings into the Wine registry and runs the host program against the DLL:
#   wine_host.sh WINE HOST_EXE DLL REG_FILE [HOST_ARGUMENT...]
set -eu
wine=$1
host=$2
dll=$3
reg=$4
shift 4
: "${WINEPREFIX:?}"

reg_path=$(timeout 30 "$wine" winepath -w "$reg")
dll_path=$(timeout 30 "$wine" winepath -w "$dll")
timeout 60 "$wine" regedit /s "$reg_path"
timeout 120 "$wine" "$host" "--dll=$dll_path" "$@"
