#!/usr/bin/env bash
# Which way the 32-bit Wine tests run on this machine, as one line: "natively (why)" or
# "inside the emulated guest (why)". Native where the kernel starts a 32-bit x86 program; otherwise inside the
# emulated guest (scripts/win32-guest.sh). KX_WIN32_GUEST=1 takes the guest and
# KX_WIN32_GUEST=0 the native way, whatever the kernel.
set -euo pipefail

# shellcheck source=runs-i386.sh
. "$(dirname "$0")/runs-i386.sh"

case ${KX_WIN32_GUEST:-} in
  1) echo "inside the emulated guest (KX_WIN32_GUEST=1)" ;;
  0) echo "natively (KX_WIN32_GUEST=0)" ;;
  *)
    if runs_i386; then
      echo "natively (this kernel starts 32-bit programs)"
    else
      echo "inside the emulated guest (this kernel starts no 32-bit program; KX_WIN32_GUEST=0 skips them instead)"
    fi
    ;;
esac
