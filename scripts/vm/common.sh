# Shared by the guest scripts: where the kernel, the initramfs and the Wine
# prefix are kept between runs (they take a download and minutes to make).
vm_cache=${VZ_VM_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/veldracorder/vm}
vm_scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

vm_fail() {
  echo "vm: $*" >&2
  exit 1
}

# Debian's current kernel package, the one linux-image-amd64 points to.
vm_kernel_package() {
  apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/^ *Depends: \(linux-image-[^ ]*\)$/\1/p' | head -n 1
}
