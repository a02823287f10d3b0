#!/bin/sh
# Fails when the DLL imports anything but system DLLs of Windows: dll_imports.sh OBJDUMP DLL
set -eu
objdump=$1
dll=$2

imports=$("$objdump" -p "$dll" | sed -n 's/^[[:space:]]*DLL Name: //p')
if [ -z "$imports" ]; then
  echo "no import table found in $dll"
  exit 1
fi
status=0
for name in $imports; do
  case $(echo "$name" | tr '[:upper:]' '[:lower:]') in
    kernel32.dll | user32.dll | advapi32.dll | msvcrt.dll | wininet.dll | shell32.dll | gdi32.dll | \
    comctl32.dll | comdlg32.dll | crypt32.dll | ws2_32.dll | ole32.dll | oleaut32.dll | shlwapi.dll | \
    version.dll | winspool.drv | ntdll.dll | api-ms-win-*.dll)
      echo "ok   $name" ;;
    *)
      echo "FAIL $name is not a system DLL"
      status=1 ;;
  esac
done
exit $status
