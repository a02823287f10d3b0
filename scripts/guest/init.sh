#!/bin/sh
# The guest's first process, built into its root tree as /sbin/kx-init. All it does is mount the
# checkout the host shares in and run its scripts/guest/session.sh, so that changes to what the
# guest does need no new tree; whatever happens there, the guest then powers off.
mount -t proc proc /proc
echo 1 >/proc/sys/kernel/sysrq
modprobe 9pnet_virtio
modprobe 9p
mkdir -p /kx/source
if mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose kxsource /kx/source; then
  /bin/bash /kx/source/scripts/guest/session.sh
else
  echo "kx-init: the checkout share kxsource did not mount"
fi
sync
echo o >/proc/sysrq-trigger
sleep 60
