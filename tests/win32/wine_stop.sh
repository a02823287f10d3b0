#!/bin/sh
# Ends the Wine server of the tests' prefix and whatever still runs in it: wine_stop.sh WINESERVER
set -eu
: "${WINEPREFIX:?}"
"$1" -k || true
