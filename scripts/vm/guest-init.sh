#!/bin/busybox sh
# The guest's first process: loads the sound and 9p modules, mounts the
# host's root read-only with writable scratch folders over it, runs the
# command named on the kernel command line (vzvm.run=PATH) there, and tells
# its exit status on the console before powering off.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for module in $(cat /modules); do
  insmod "/lib/modules/$module" || echo "vzvm: could not load $module"
done

command=$(sed -n 's/.*vzvm\.run=\([^ ]*\).*/\1/p' /proc/cmdline)
host=/host
mkdir -p $host
mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=512000 hostroot $host ||
  echo "vzvm: the host's root could not be mounted"
# The command lives on the host, possibly under /tmp, which gets a tmpfs.
cp "$host$command" /run-command 2>/dev/null || echo "vzvm: no command $command"
for dir in tmp run var/tmp; do mount -t tmpfs tmpfs $host/$dir; done
mount -o bind /dev $host/dev
mkdir -p $host/dev/shm $host/dev/pts
mount -t tmpfs tmpfs $host/dev/shm
mount -t devpts devpts $host/dev/pts
mount -t proc proc $host/proc
mount -t sysfs sys $host/sys
cp /run-command $host/tmp/vzvm-command

chroot $host /usr/bin/env -i HOME=/tmp PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin \
  /bin/bash /tmp/vzvm-command
echo "vzvm: exit $?"
sync
poweroff -f
