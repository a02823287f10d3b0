#!/usr/bin/env bash
# The dynamic symbol table of the plug-in defines the seven exports and nothing else.
set -eu
expected="ApiDataDialog AppVersionCheck ExportXML GetExportErrorMsg ImportVersionInfo RegProgrCallback VersionInfo"
actual=$(nm -D --defined-only "$1" | awk '{print $3}' | sort | tr '\n' ' ' | sed 's/ $//')
if [ "$actual" != "$expected" ]; then
  echo "defined dynamic symbols: $actual" >&2
  echo "expected:                $expected" >&2
  exit 1
fi
echo "exports: $actual"
