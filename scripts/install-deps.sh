#!/usr/bin/env bash
# Installs, from Debian's packages only, what the build and the tests need.
#   install-deps.sh linux   the Linux build, its tests and the demo
#   install-deps.sh win32   that, plus the Windows tool chains, Wine and the database clients
# Safe to run again: nothing is fetched when every package is there.
#
# 64-bit Wine runs on every kernel, so the 64-bit DLL's tests always get what they need. 32-bit
# Wine needs a kernel that starts i386 programs, which not every machine's does: the 32-bit
# packages are installed only where a tiny i386 program runs.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

what=${1:-win32}
case "$what" in
  linux | win32) ;;
  *)
    echo "usage: install-deps.sh [linux|win32]" >&2
    exit 2
    ;;
esac

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
  libxml2-utils libexpat1-dev
  strace  # the durability test reads the system calls of a commit
  python3  # the data report test parses the report's JSON
  lintian  # the Debian package's test
  clang-format clang-tidy
  clang libclang-rt-14-dev  # the fuzz targets (libFuzzer)
  groff  # the manual's PDF
  poppler-utils  # the manual's test renders its pages (pdftotext, pdfinfo)
)
windows=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
  nsis osslsigncode  # the Windows installers and their signatures
  icoutils  # wrestool: the version resources read back
  wine wine64 fonts-wine  # fonts-wine: the system fonts and title-bar glyphs windows are drawn with
  # The Wine tests' database client: a Wine builtin gds32.dll built with winegcc that forwards
  # to the Firebird client of the same width. The 64-bit winegcc builds both widths
  # (wine64-tools and wine32-tools:i386 conflict; only the first installs everywhere).
  wine64-tools libwine-dev
  xvfb imagemagick x11-utils xdotool  # the windows under a virtual X server, their screenshots
)
windows_i386=(wine32:i386 libwine-dev:i386 gcc-multilib g++-multilib libfbclient2:i386)

# shellcheck source=guest/runs-i386.sh
. "$(dirname "$0")/guest/runs-i386.sh"  # runs_i386

missing() {
  local out=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || out+=("$p")
  done
  echo "${out[@]:-}"
}

# A mirror that is synchronising serves index files of the wrong size for a while. apt-get then
# reports them and keeps the older ones; retry a few times, then let apt-get install decide.
update_index() {
  local attempt
  for attempt in 1 2 3; do
    if apt-get update -qq 2>/tmp/install-deps-update.err && ! grep -q '^[EW]:' /tmp/install-deps-update.err; then
      return 0
    fi
    [ "$attempt" -lt 3 ] && sleep 20
  done
  echo "install-deps: the package index is still incomplete ($(grep -m1 '^[EW]:' /tmp/install-deps-update.err || echo 'apt-get update failed')); going on with what it has" >&2
}

# The newest version that the index lists for both amd64 and i386, or nothing.
common_version() {
  apt-cache madison "$1" "$1:i386" 2>/dev/null | awk -F' *[|] *' '
    / amd64 Packages/ { a[$2] = 1 } / i386 Packages/ { i[$2] = 1 }
    END { for (v in a) if (v in i) print v }' | sort -V | tail -n 1
}

# Whether the index lists this version of a package.
listed() { apt-cache madison "$1" 2>/dev/null | awk -F' *[|] *' -v v="$2" '$2 == v { found = 1 } END { exit !found }'; }

# When the 32-bit index lags behind the 64-bit one, a 32-bit library cannot match its installed
# 64-bit twin, whose newer version exists for 64 bits only. Simulated installs find the pins that
# make every package fit, round by round: each library apt names as unmet is pinned, both
# architectures, to a version both indexes list; a package that needs an exact version of such a
# library ("X : Depends: Y (= new) but old is to be installed", a -dev package) is pinned to that
# older version (or, once pinned itself, takes its own exact dependencies along), as is any
# package the install would remove. Then one real install.
pins=()
added=0
pin() {
  case " ${pins[*]:-} " in *" $1="*) return 0 ;; esac
  pins+=("$1=$2")
  added=1
}

install_pinned() {
  local round out line name version pinned
  for round in $(seq 1 15); do
    # shellcheck disable=SC2068
    out=$(apt-get install -s -q --no-install-recommends --allow-downgrades "$@" ${pins[@]} 2>&1) || true
    added=0
    while IFS= read -r line; do
      if [[ $line =~ ^\ *([a-z0-9][a-z0-9.+-]*)(:[a-z0-9]+)?\ :\ Depends:\ ([^\ ]+)\ \(=\ ([^\)]+)\)\ but\ ([^\ ]+)\ is\ to\ be\ installed ]]; then
        # X needs Y at exactly V while W is to be installed: a pinned X takes Y along to V,
        # otherwise X follows Y to W.
        name=${BASH_REMATCH[1]}${BASH_REMATCH[2]}
        case " ${pins[*]:-} " in
          *" $name="*) listed "${BASH_REMATCH[3]}" "${BASH_REMATCH[4]}" && pin "${BASH_REMATCH[3]}" "${BASH_REMATCH[4]}" ;;
          *) listed "$name" "${BASH_REMATCH[5]}" && pin "$name" "${BASH_REMATCH[5]}" ;;
        esac
      elif [[ $line =~ (^\ *([a-z0-9][a-z0-9.+-]*)(:[a-z0-9]+)?\ :\ |^\ +)(Pre)?Depends:\ ([a-z0-9][a-z0-9.+-]*) ]]; then
        for name in ${BASH_REMATCH[2]} ${BASH_REMATCH[5]}; do
          version=$(common_version "$name")
          [ -n "$version" ] && pin "$name" "$version" && pin "$name:i386" "$version"
        done
      elif [[ $line =~ ^Remv\ ([^\ ]+)\ \[([^]]+)\] ]]; then
        name=${BASH_REMATCH[1]}
        # A -dev package follows its library to the version pinned for it: both come from one
        # source and share its version. Otherwise the newest version older than the installed one.
        version=
        for pinned in "${pins[@]}"; do
          listed "$name" "${pinned#*=}" && version=${pinned#*=} && break
        done
        [ -n "$version" ] || version=$(apt-cache madison "$name" | awk -F' *[|] *' -v v="${BASH_REMATCH[2]}" '$2 != v { print $2 }' |
          sort -V | awk -v v="${BASH_REMATCH[2]}" '{ if (system("dpkg --compare-versions " $0 " lt " v) == 0) last = $0 } END { print last }')
        [ -n "$version" ] && pin "$name" "$version"
      fi
    done <<<"$out"
    if [ "$added" -eq 0 ]; then
      if printf '%s\n' "$out" | grep -q -E '^(E:|Remv )'; then
        printf '%s\n' "$out" | grep -E '^(E:|Remv | )' >&2
        return 1
      fi
      [ "${#pins[@]}" -gt 0 ] && echo "install-deps: pinned to versions that fit together: ${pins[*]}" >&2
      # shellcheck disable=SC2068
      apt-get install -y -qq --no-install-recommends --allow-downgrades "$@" ${pins[@]}
      return
    fi
  done
  echo "install-deps: no set of pinned versions found in $round rounds" >&2
  return 1
}

packages=("${native[@]}")
if [ "$what" = win32 ]; then
  packages+=("${windows[@]}")
  if runs_i386; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      dpkg --add-architecture i386
    fi
    packages+=("${windows_i386[@]}")
    echo "install-deps: this kernel starts 32-bit programs: 32-bit Wine and the i386 database client too" >&2
  else
    echo "install-deps: this kernel starts no 32-bit program: 32-bit Wine is not installed here" >&2
  fi
  # Where the 32-bit Wine tests run inside the emulated guest, its emulator and the tool that
  # builds its tree from Debian's packages (the guest's own packages go into its tree).
  way=$(bash "$(dirname "$0")/guest/which-way.sh")
  if [ "${way%% (*}" = "inside the emulated guest" ]; then
    packages+=(qemu-system-x86 debootstrap e2fsprogs)
    echo "install-deps: the 32-bit Wine tests run $way: QEMU, debootstrap and mkfs.ext4 too" >&2
  fi
fi

todo=$(missing "${packages[@]}")
[ -n "$todo" ] || exit 0

# Firebird's package asks for a SYSDBA password; the test set-up sets its own later.
echo "firebird3.0-server shared/firebird/enabled boolean true" | debconf-set-selections || true
update_index
# shellcheck disable=SC2086
if apt-get install -y -qq --no-install-recommends $todo; then
  exit 0
fi
if [ "$what" = win32 ] && printf '%s\n' "${packages[@]}" | grep -q ':i386$'; then
  echo "install-deps: the resolver's way failed; pinning 32-bit packages and their 64-bit twins" >&2
  # Every package is named, installed or not, so that none of them is removed on the way.
  install_pinned "${packages[@]}"
else
  exit 1
fi
