#!/usr/bin/env bash
# Fetches Debian's kernel package into the cache and unpacks it there (never
# installs it), with a modules.dep made by busybox's depmod, since the
# package leaves that to its installation. Prints the unpacked folder.
set -euo pipefail
source "$(dirname "$0")/common.sh"

package=$(vm_kernel_package)
[ -n "$package" ] || vm_fail "apt-cache knows no linux-image-amd64 (run apt-get update)"
tree=$vm_cache/$package
if [ ! -f "$tree/ready" ]; then
  command -v busybox >/dev/null || vm_fail "busybox is missing (Debian package busybox-static)"
  rm -rf "$tree" "$tree.deb.d"
  mkdir -p "$tree.deb.d"
  (cd "$tree.deb.d" && apt-get download -q "$package" >&2) || vm_fail "could not download $package"
  dpkg-deb -x "$tree.deb.d"/*.deb "$tree"
  rm -rf "$tree.deb.d"
  release=$(basename "$(ls -d "$tree"/lib/modules/*)")
  busybox depmod -b "$tree" "$release"
  touch "$tree/ready"
fi
echo "$tree"
