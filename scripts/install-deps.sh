#!/usr/bin/env bash
# Installs, from Debian's packages only, everything the build and the tests need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: run as root (apt-get needs it)" >&2
  exit 1
fi

native=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  nettle-dev libssl-dev openssl
  libcurl4-openssl-dev libcpp-httplib-dev
  firebird3.0-server firebird3.0-utils libfbclient2 firebird-dev
  libgtk-3-dev xvfb xauth
  libxml2-utils curl
)
windows=(
  g++-mingw-w64-i686-posix mingw-w64-tools
  wine wine32:i386
  # The Wine tests' database client: a Wine builtin gds32.dll built with winegcc -m32 that
  # forwards to the i386 Firebird client.
  wine32-tools:i386 gcc-multilib g++-multilib libfbclient2:i386
)

missing() {
  local out=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || out+=("$p")
  done
  echo "${out[@]:-}"
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi

todo=$(missing "${native[@]}" "${windows[@]}")
if [ -n "$todo" ]; then
  # Firebird's package asks for a SYSDBA password; the test set-up sets its own later.
  echo "firebird3.0-server shared/firebird/enabled boolean true" | debconf-set-selections || true
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $todo
fi
