#!/usr/bin/env bash
# Runs checks against the kernel sequencer in one guest boot and fails when
# one fails (the guest's console is printed either way).
#   check.sh BUILD WINDOWS-BUILD CHECK...
# CHECK is any of: threads tools window wine (see guest-checks.sh).
set -euo pipefail
source "$(dirname "$0")/common.sh"
[ $# -ge 3 ] || vm_fail "usage: check.sh BUILD WINDOWS-BUILD CHECK..."
build=$(readlink -f "$1")
windows=$(readlink -f "$2" || echo "$2")
shift 2

prefix=
case " $* " in *" wine "*) prefix=$("$vm_scripts/wine-prefix.sh") ;; esac

# The guest's command, kept beside the build so that the guest finds it.
command=$build/vm-command.sh
{
  echo "export VZ_BUILD='$build' VZ_WINDOWS_BUILD='$windows' VZ_WINEPREFIX='$prefix'"
  for name in TSAN_OPTIONS ASAN_OPTIONS UBSAN_OPTIONS VZ_VM_BENCH_SIZE; do
    [ -n "${!name:-}" ] && echo "export $name='${!name}'"
  done
  echo "exec '$vm_scripts/guest-checks.sh' $*"
} >"$command"
exec "$vm_scripts/run-guest.sh" --timeout "${VZ_VM_TIMEOUT:-800}" "$command"
