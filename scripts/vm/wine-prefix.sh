#!/usr/bin/env bash
# Makes a Wine prefix in the cache, once per Wine version, for the guest to
# overlay on a tmpfs: made in the guest, it would cost minutes of emulation
# on every run. Prints its path.
set -euo pipefail
source "$(dirname "$0")/common.sh"

command -v wine >/dev/null || vm_fail "wine is missing (Debian packages wine and wine64)"
prefix=$vm_cache/wineprefix-$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n-' _)
if [ ! -f "$prefix/ready" ]; then
  rm -rf "$prefix"
  mkdir -p "$prefix"
  WINEPREFIX=$prefix WINEDEBUG=-all DISPLAY= wine wineboot --init >/dev/null 2>&1 ||
    vm_fail "wineboot could not make a prefix in $prefix"
  WINEPREFIX=$prefix wineserver --wait
  touch "$prefix/ready"
fi
echo "$prefix"
