#!/bin/sh
# Creates the tests' private Wine prefix once: wine_prefix.sh WINE WINESERVER
# WINEPREFIX and WINEARCH come from CTest. A marker written after a complete start keeps later runs
# from paying for it again; an interrupted first start is simply repeated.
set -eu
wine=$1
wineserver=$2
: "${WINEPREFIX:?}" "${WINEARCH:?}"
marker=$WINEPREFIX/.kx-prefix-ready

if [ -f "$marker" ]; then
  echo "Wine prefix $WINEPREFIX ready"
  exit 0
fi
mkdir -p "$WINEPREFIX"
echo "Creating Wine prefix $WINEPREFIX ($WINEARCH)"
timeout 240 "$wine" wineboot -i
# wineboot returns before the server has written the new registry; wait for it to finish.
timeout 60 "$wineserver" -w
touch "$marker"
echo "Wine prefix $WINEPREFIX created"
