#!/usr/bin/env bash
# Inside the 32-bit test guest, started by its init (/sbin/kx-init) with the checkout mounted
# read-only at /kx/source. Brings the system up (kernel file systems, loopback), mounts the host's
# shares at the host's own paths (the paths the 32-bit build's CTest files name), runs
# run-set.sh, and leaves its exit status in the writable share, which the host reads once the
# guest has powered off.
#
# The shares (tags as scripts/win32-guest.sh gives them): kxsource the checkout, kxlinux the Linux
# build and kxwin32 the 32-bit build, all read-only, and kxout the results. kxout/request names
# the host paths.
set -uo pipefail
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root USER=root LANG=C.UTF-8
booted=$(cut -d' ' -f1 /proc/uptime)

mountpoint -q /sys || mount -t sysfs sys /sys
mountpoint -q /dev || mount -t devtmpfs dev /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs shm /dev/shm
mount -t tmpfs run /run
mount -t tmpfs tmp /tmp
hostname kxguest
ip link set lo up
modprobe overlay

out=/kx/out
mkdir -p "$out"
if ! mount -t 9p -o trans=virtio,version=9p2000.L,cache=none kxout "$out"; then
  echo "kx-guest: the results share kxout did not mount"
  exit 1
fi
fail() {
  echo "kx-guest: $*" | tee -a "$out/guest.log"
  echo 1 >"$out/status"
  exit 1
}
# shellcheck source=/dev/null # written by scripts/win32-guest.sh: KX_SOURCE KX_LINUX_BUILD KX_WIN32_BUILD
. "$out/request"
export KX_GUEST_TESTS
echo "booted=$booted" >"$out/times"

# Each build lies under an overlay: what the tests write into it stays in the guest. The programs
# the set runs are copied into the guest first (a change of metadata copies a file up), so that
# one relinked on the host meanwhile, by the others at work there, cannot change under a test.
build_share() {  # TAG PATH [PROGRAM...]: the programs of bin/ to copy, all without a name
  local tag=$1 path=$2 lower=/kx/lower/$1 upper=/var/kx/$1 program
  shift 2
  mkdir -p "$lower" "$upper/data" "$upper/work" "$path" || fail "cannot make the folders for the share $tag"
  mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose "$tag" "$lower" || fail "the share $tag did not mount"
  mount -t overlay overlay -o "lowerdir=$lower,upperdir=$upper/data,workdir=$upper/work" "$path" ||
    fail "the overlay of the share $tag did not mount at $path"
  if [ $# -eq 0 ]; then set -- "$path"/bin/*; else set -- "${@/#/$path/bin/}"; fi
  for program in "$@"; do
    [ -f "$program" ] && touch -c -r "$program" "$program"
  done
}
mkdir -p "$KX_SOURCE" || fail "cannot make $KX_SOURCE"
mount --bind /kx/source "$KX_SOURCE" || fail "cannot place the checkout at $KX_SOURCE"
build_share kxlinux "$KX_LINUX_BUILD" kxprovider kxdb kxgen kximport libImpApiKorvalix.so
build_share kxwin32 "$KX_WIN32_BUILD"

start=$(cut -d' ' -f1 /proc/uptime)
status=0
bash "$KX_SOURCE/scripts/guest/run-set.sh" "$KX_WIN32_BUILD" "$out" || status=$?
echo "set=$(awk -v s="$start" '{ printf "%.0f", $1 - s }' /proc/uptime)" >>"$out/times"
echo "$status" >"$out/status"
sync
