#!/usr/bin/env bash
# Builds the guest's initramfs in the cache from busybox-static, the init
# script beside this one and the kernel modules the guest needs, each with
# the modules it depends on (from modules.dep), in loading order. Prints
# its path; it is made again when the kernel or the init script changes.
set -euo pipefail
source "$(dirname "$0")/common.sh"

# What the guest loads: the sequencer; a sound card (snd-dummy), without
# which Wine lists no MIDI port at all; virtio and 9p for the host's root;
# overlay for a writable Wine prefix over the host's.
modules=(soundcore snd snd-timer snd-seq-device snd-seq snd-pcm snd-dummy
  virtio_pci 9pnet_virtio 9p overlay)

tree=$("$vm_scripts/kernel.sh")
release=$(basename "$(ls -d "$tree"/lib/modules/*)")
moddir=$tree/lib/modules/$release
busybox=$(command -v busybox) || vm_fail "busybox is missing (Debian package busybox-static)"
# The initramfs has no libraries: a dynamic busybox would not start there.
if ldd "$busybox" >/dev/null 2>&1; then vm_fail "$busybox is not static (Debian package busybox-static)"; fi

stamp=$( (echo "$release ${modules[*]}" && cat "$vm_scripts/guest-init.sh") | sha256sum | cut -c1-16)
image=$vm_cache/initramfs-$stamp.cpio.gz
if [ ! -f "$image" ]; then
  # The module file of a name, then the files its modules.dep line names.
  declare -A seen=()
  order=()
  add() { # module path relative to the modules folder
    [ -n "${seen[$1]:-}" ] && return
    seen[$1]=1
    local dep
    for dep in $(sed -n "s|^$1: *||p" "$moddir/modules.dep"); do add "$dep"; done
    order+=("$1")
  }
  for name in "${modules[@]}"; do
    pattern=${name//[-_]/[-_]}
    path=$(grep -oE "^[^:]*/$pattern\.ko(\.xz)?:" "$moddir/modules.dep" | tr -d :) ||
      vm_fail "kernel $release has no module $name"
    add "$path"
  done
  staging=$(mktemp -d)
  trap 'rm -rf "$staging"' EXIT
  mkdir -p "$staging"/{bin,dev,proc,sys,lib/modules}
  cp "$busybox" "$staging/bin/busybox"
  for path in "${order[@]}"; do
    cp "$moddir/$path" "$staging/lib/modules/"
    echo "${path##*/}" >>"$staging/modules"
  done
  cp "$vm_scripts/guest-init.sh" "$staging/init"
  chmod +x "$staging/init"
  (cd "$staging" && find . | busybox cpio -o -H newc 2>/dev/null | gzip -1) >"$image.part"
  mv "$image.part" "$image"
fi
echo "$image"
