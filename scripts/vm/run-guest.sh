#!/usr/bin/env bash
# Boots Debian's kernel in qemu (plain emulation) with the host's root
# mounted read-only, runs COMMAND-SCRIPT there with bash as root, and exits
# with its status. The guest's console is copied to standard output; a guest
# that does not end within the time limit is stopped and fails.
#   run-guest.sh [--timeout SECONDS] COMMAND-SCRIPT
set -euo pipefail
source "$(dirname "$0")/common.sh"

limit=600
if [ "${1:-}" = --timeout ]; then
  limit=$2
  shift 2
fi
[ $# -eq 1 ] || vm_fail "usage: run-guest.sh [--timeout SECONDS] COMMAND-SCRIPT"
script=$(readlink -f "$1")
[ -f "$script" ] || vm_fail "no command script $1"

qemu=$(command -v qemu-system-x86_64) || vm_fail "qemu-system-x86_64 is missing (Debian package qemu-system-x86)"
tree=$("$vm_scripts/kernel.sh")
initramfs=$("$vm_scripts/initramfs.sh")
kernel=$(ls "$tree"/boot/vmlinuz-*)

log=$(mktemp)
trap 'rm -f "$log"' EXIT
set +e
timeout -k 10 "$limit" "$qemu" -nodefaults -no-reboot -display none -serial stdio -monitor none \
  -m "${VZ_VM_MEMORY:-2048}" -smp "${VZ_VM_CPUS:-2}" \
  -kernel "$kernel" -initrd "$initramfs" \
  -append "console=ttyS0 quiet loglevel=3 panic=-1 vzvm.run=$script" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
  </dev/null 2>&1 | tr -d '\r' | tee "$log"
status=${PIPESTATUS[0]}
set -e
[ "$status" -eq 124 ] && vm_fail "the guest did not end within $limit s"
[ "$status" -eq 0 ] || vm_fail "qemu failed (status $status)"
result=$(sed -n 's/^vzvm: exit \([0-9]*\)$/\1/p' "$log" | tail -n 1)
[ -n "$result" ] || vm_fail "the guest ended without telling its result"
exit "$result"
