#!/usr/bin/env bash
# Inside the 32-bit test guest, started by its init (/sbin/kx-init) with the checkout mounted
# read-only at /kx/source. Brings the system up (kernel file systems, loopback), mounts the host's
# shares at the host's own paths (the paths the 32-bit build's CTest files name), runs
# run-set.sh, and leaves its exit status in the writable share, which the host reads once the
# guest has powered off.
#
# The shares (tags as scripts/win32-guest.sh gives them): kxsource the checkout, kxlinux the Linux
# build, kxwin32 the 32-bit build (read-only, under an overlay: whatever the tests write there
# stays in the guest) and kxout the results. kxout/request names the host paths.
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

# No caching in the guest: the others at work on the host may relink a program of the Linux build
# while the set runs, and a cached page of the old file beside a new one crashes it.
share() {  # TAG PATH [OPTION]: a read-only share at PATH
  mkdir -p "$2" || fail "cannot make $2"
  mount -t 9p -o "trans=virtio,version=9p2000.L,ro,cache=none${3:+,$3}" "$1" "$2" || fail "the share $1 did not mount at $2"
}
mkdir -p "$KX_SOURCE" || fail "cannot make $KX_SOURCE"
mount --bind /kx/source "$KX_SOURCE" || fail "cannot place the checkout at $KX_SOURCE"
share kxlinux "$KX_LINUX_BUILD"
share kxwin32 /kx/win32
mkdir -p /var/kx/win32.upper /var/kx/win32.work "$KX_WIN32_BUILD"
mount -t overlay overlay -o lowerdir=/kx/win32,upperdir=/var/kx/win32.upper,workdir=/var/kx/win32.work \
  "$KX_WIN32_BUILD" || fail "the overlay over the 32-bit build did not mount at $KX_WIN32_BUILD"

start=$(cut -d' ' -f1 /proc/uptime)
status=0
bash "$KX_SOURCE/scripts/guest/run-set.sh" "$KX_WIN32_BUILD" "$out" || status=$?
echo "set=$(awk -v s="$start" '{ printf "%.0f", $1 - s }' /proc/uptime)" >>"$out/times"
echo "$status" >"$out/status"
sync
