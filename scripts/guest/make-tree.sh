#!/usr/bin/env bash
# Builds the 32-bit test guest's disk from Debian's packages, once per machine:
#   make-tree.sh DIR
# DIR receives rootfs.img (ext4, the root tree), vmlinuz and initrd.img (Debian's amd64 kernel)
# and tree.key. The key is a hash of the package list, the guest's init and this script: while it
# matches, the existing disk is used as it is; otherwise the tree is built anew (debootstrap, then
# the packages of scripts/guest/packages in a chroot). Needs root, debootstrap and mkfs.ext4, and
# the network to the Debian mirror (KX_GUEST_MIRROR, KX_GUEST_SECURITY_MIRROR).
set -euo pipefail

dir=$1
here=$(cd "$(dirname "$0")" && pwd)
mirror=${KX_GUEST_MIRROR:-http://deb.debian.org/debian}
security=${KX_GUEST_SECURITY_MIRROR:-http://deb.debian.org/debian-security}
suite=bookworm

say() { echo "guest tree: $*"; }
die() {
  echo "guest tree: $*" >&2
  exit 1
}

key=$(cat "$here/packages" "$here/init.sh" "$0" | sha256sum | cut -d' ' -f1)
if [ -f "$dir/tree.key" ] && [ "$(cat "$dir/tree.key")" = "$key" ] &&
  [ -f "$dir/rootfs.img" ] && [ -f "$dir/vmlinuz" ] && [ -f "$dir/initrd.img" ]; then
  say "reusing $dir (built $(date -r "$dir/tree.key" '+%F %T'))"
  exit 0
fi

[ "$(id -u)" -eq 0 ] || die "building the tree needs root (debootstrap, chroot)"
for tool in debootstrap mkfs.ext4 chroot; do
  command -v "$tool" >/dev/null || die "$tool is not installed (scripts/install-deps.sh installs it where the guest is needed)"
done

mkdir -p "$dir"
rm -f "$dir/tree.key" "$dir/rootfs.img" "$dir/vmlinuz" "$dir/initrd.img"
root=$dir/root
rm -rf "$root"
mkdir -p "$root"

# The chroot's kernel file systems, unmounted on every way out; the tree is dropped once the disk
# holds it (1.3 GB that no run reads).
mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || true; done
  rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM

start=$SECONDS
say "debootstrap $suite from $mirror"
debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$dir/debootstrap.log" 2>&1 ||
  die "debootstrap failed (last lines of $dir/debootstrap.log: $(tail -n 3 "$dir/debootstrap.log" | tr '\n' ' '))"
say "base system in $((SECONDS - start)) s"

mount -t proc proc "$root/proc" && mounted+=("$root/proc")
mount -t sysfs sys "$root/sys" && mounted+=("$root/sys")
mount --bind /dev "$root/dev" && mounted+=("$root/dev")
mount -t devpts devpts "$root/dev/pts" && mounted+=("$root/dev/pts")

# The same suites as the host's Debian, so that the Linux build's programs find the libraries they
# were linked against. No service starts while packages install.
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror $suite main
deb $mirror $suite-updates main
deb $security $suite-security main
EOF
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod +x "$root/usr/sbin/policy-rc.d"
packages=$(sed 's/#.*//' "$here/packages" | tr -s ' \n' '  ')

start=$SECONDS
say "installing: $packages"
# shellcheck disable=SC2086 # the package names are words
if ! chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive sh -c "
    dpkg --add-architecture i386 &&
    echo 'firebird3.0-server shared/firebird/enabled boolean true' | debconf-set-selections &&
    apt-get update -qq &&
    apt-get install -y -qq --no-install-recommends $packages &&
    apt-get clean" >"$dir/install.log" 2>&1; then
  die "installing the guest's packages failed (see $dir/install.log: $(grep -E '^E:' "$dir/install.log" | head -n 3 | tr '\n' ' '))"
fi
say "packages in $((SECONDS - start)) s"
rm -f "$root/usr/sbin/policy-rc.d"

install -m 755 "$here/init.sh" "$root/sbin/kx-init"
echo kxguest >"$root/etc/hostname"
printf '127.0.0.1\tlocalhost kxguest\n::1\tlocalhost ip6-localhost ip6-loopback\n' >"$root/etc/hosts"
rm -f "$root/etc/resolv.conf"  # the guest has no network

kernel=$(find "$root/boot" -name 'vmlinuz-*' | sort -V | tail -n 1)
[ -n "$kernel" ] || die "no kernel in $root/boot (linux-image-amd64)"
cp "$kernel" "$dir/vmlinuz"
cp "$root/boot/initrd.img-${kernel##*/vmlinuz-}" "$dir/initrd.img"

for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}"; done
mounted=()

# Room beside the tree for what the tests write outside their shares (the overlay of the 32-bit
# build: its Wine prefix, test outputs); the file is sparse, and every run's writes go to QEMU's
# snapshot, never into it.
start=$SECONDS
used=$(du -sm "$root" | cut -f1)
truncate -s $((used + 3072))M "$dir/rootfs.img.new"
mkfs.ext4 -q -F -L kxguest -d "$root" "$dir/rootfs.img.new" >/dev/null || die "mkfs.ext4 -d failed"
mv "$dir/rootfs.img.new" "$dir/rootfs.img"
echo "$key" >"$dir/tree.key"
say "disk image of ${used} MB in $((SECONDS - start)) s"
