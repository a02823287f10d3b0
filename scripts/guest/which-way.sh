#!/usr/bin/env bash
# Which way the 32-bit Wine tests run on this machine, as one line: "native (why)" or
# "guest (why)". Native where the kernel starts a 32-bit x86 program; otherwise inside the
# emulated guest (scripts/win32-guest.sh). KX_WIN32_GUEST=1 takes the guest and
# KX_WIN32_GUEST=0 the native way, whatever the kernel.
set -euo pipefail

# shellcheck source=runs-i386.sh
. "$(dirname "$0")/runs-i386.sh"

case ${KX_WIN32_GUEST:-} in
  1) echo "guest (KX_WIN32_GUEST=1)" ;;
  0) echo "native (KX_WIN32_GUEST=0)" ;;
  *)
    if runs_i386; then
      echo "native (this kernel starts 32-bit programs)"
    else
      echo "native (this kernel starts no 32-bit program, so its Wine tests are skipped; KX_WIN32_GUEST=1 runs them in an emulated guest)"
    fi
    ;;
esac
