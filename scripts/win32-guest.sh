#!/usr/bin/env bash
# Runs the 32-bit Windows build's tests (every win32.* test of BUILD/win32) inside an emulated
# x86-64 machine, for kernels that start no 32-bit program:
#   win32-guest.sh BUILD        (BUILD holds linux/ and win32/, both built)
#
# QEMU's full-system emulator (TCG, no KVM needed) boots Debian's own amd64 kernel, which starts
# 32-bit programs, from a disk built from Debian's packages (scripts/guest/make-tree.sh, cached in
# BUILD/win32-guest/tree and reused while its package list is unchanged). The guest has no network
# device; the checkout and both builds come in over read-only 9p shares at the host's paths, the
# results go out through a writable one, BUILD/win32-guest/run: the CTest output and log, the
# configure and bridge logs, the guest's console, and the screenshots, which are also copied to
# BUILD/win32/test-artefacts as after a native run. The exit status is the set's; a tree that
# cannot be built or a guest that does not finish fails with its reason.
#
# KX_GUEST_CPUS (2), KX_GUEST_MEMORY (3G) and KX_GUEST_TIMEOUT (seconds, 4800) size the guest;
# KX_GUEST_TESTS, a CTest -R pattern, runs only the tests it matches (with their fixtures).
set -euo pipefail

build=$(realpath "${1:?usage: win32-guest.sh BUILD}")
source_dir=$(cd "$(dirname "$0")/.." && pwd)
linux=$build/linux
win32=$build/win32
cache=$build/win32-guest
run=$cache/run

say() { echo "win32-guest: $*"; }
die() {
  echo "win32-guest: $*" >&2
  exit 1
}

command -v qemu-system-x86_64 >/dev/null ||
  die "qemu-system-x86_64 is not installed (package qemu-system-x86; scripts/install-deps.sh installs it where the guest is needed)"
for file in "$win32/CMakeCache.txt" "$linux/bin/kxprovider"; do
  [ -e "$file" ] || die "$file is missing: build the linux and win32 targets first"
done
for path in "$source_dir" "$linux" "$win32"; do
  case $path in *[[:space:]]*) die "the guest cannot take a path with blanks: $path" ;; esac
done

start=$SECONDS
bash "$source_dir/scripts/guest/make-tree.sh" "$cache/tree" || die "the guest's tree could not be built"
tree_seconds=$((SECONDS - start))

rm -rf "$run"
mkdir -p "$run"
cat >"$run/request" <<EOF
KX_SOURCE=$source_dir
KX_LINUX_BUILD=$linux
KX_WIN32_BUILD=$win32
KX_GUEST_TESTS=$(printf '%q' "${KX_GUEST_TESTS:-}")
EOF

share() { echo "-virtfs local,path=$1,mount_tag=$2,security_model=none,multidevs=remap${3:+,$3}"; }
say "booting the guest (QEMU/TCG, ${KX_GUEST_CPUS:-2} CPUs, ${KX_GUEST_MEMORY:-3G}); its console goes to $run/console.log"
start=$SECONDS
status=0
# -cpu max,-smap: with SMAP on, the guest kernel oopses on every 32-bit Windows process.
# shellcheck disable=SC2046 # each share is a word list
timeout "${KX_GUEST_TIMEOUT:-4800}" qemu-system-x86_64 \
  -accel tcg,thread=multi -cpu max,-smap -smp "${KX_GUEST_CPUS:-2}" -m "${KX_GUEST_MEMORY:-3G}" \
  -kernel "$cache/tree/vmlinuz" -initrd "$cache/tree/initrd.img" \
  -append 'root=/dev/vda rw console=ttyS0 init=/sbin/kx-init quiet' \
  -drive "file=$cache/tree/rootfs.img,format=raw,if=virtio" -snapshot \
  -display none -monitor none -serial stdio -no-reboot -nic none \
  $(share "$source_dir" kxsource readonly=on) $(share "$linux" kxlinux readonly=on) \
  $(share "$win32" kxwin32 readonly=on) $(share "$run" kxout) \
  </dev/null 2>&1 | tr -d '\r' | tee "$run/console.log" || status=$?
guest_seconds=$((SECONDS - start))

if [ -d "$run/test-artefacts" ]; then
  mkdir -p "$win32/test-artefacts"
  cp -r "$run/test-artefacts/." "$win32/test-artefacts/"
fi
booted=$(sed -n 's/^booted=//p' "$run/times" 2>/dev/null || true)
set_seconds=$(sed -n 's/^set=//p' "$run/times" 2>/dev/null || true)
if [ "$tree_seconds" -le 1 ]; then tree_note="reused"; else tree_note="built in $tree_seconds s"; fi
say "times: tree $tree_note; guest up ${booted:-?} s after its kernel started; the set ${set_seconds:-?} s; QEMU $guest_seconds s in all"
if [ ! -f "$run/status" ]; then
  [ "$status" -eq 124 ] && die "the guest did not finish within ${KX_GUEST_TIMEOUT:-4800} s (see $run/console.log)"
  die "the guest ended without a result (see $run/console.log)"
fi
[ -f "$run/summary" ] && say "inside the guest: $(cat "$run/summary")"
[ "$(cat "$run/status")" -eq 0 ] || die "the 32-bit set failed inside the guest (see $run/guest.log and $run/ctest.log)"
say "the 32-bit set passed inside the guest"
