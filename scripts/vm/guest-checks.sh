#!/usr/bin/env bash
# Runs in the guest, as root, over the kernel sequencer: the checks named on
# the command line, each told as "vm check NAME: passed" or "...: FAILED";
# the exit status is the number that failed.
#   threads  the ALSA back-end's own test (the build's sanitizer included)
#   tools    vzquery and the command-line update through ALSA against
#            vzsim --alsa, and vzsim killed in the middle of an update
#   window   the window program (offscreen) shows the recorder's version
#   wine     vzquery.exe and the update's .exe under Wine's WinMM
# Environment: VZ_BUILD, VZ_WINDOWS_BUILD, VZ_WINEPREFIX (from check.sh).
set -uo pipefail
export VZMIDI_BACKENDS=alsa QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
sim_pid=

# Polls a condition (a command) until it holds or the seconds are up.
wait_for() {
  local until=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $until ] || return 1
    sleep 0.2
  done
}
port_listed() { grep -q '"Q7 CONTROL"' /proc/asound/seq/clients; }
port_gone() { ! port_listed; }
said() { grep -q -- "$2" "$1"; } # file, text

fail() {
  echo "vm: $*" >&2
  return 1
}

# vzsim as the sequencer's recorder, with its output in $work/sim.log.
start_sim() {
  "$VZ_BUILD/tools/vzsim/vzsim" --alsa --verbose "$@" >"$work/sim.log" 2>&1 &
  sim_pid=$!
  wait_for 20 port_listed || fail "vzsim --alsa made no port \"Q7 CONTROL\""
}
stop_sim() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  sim_pid=
  wait_for 10 port_gone
}

check_threads() {
  "$VZ_BUILD/tests/vm/tst_alsa_sequencer"
}

source "$(dirname "${BASH_SOURCE[0]}")/guest-recorder-checks.sh"

failed=0
for name in "$@"; do
  echo "== vm check $name"
  start=$SECONDS
  if "check_$name"; then
    echo "vm check $name: passed ($((SECONDS - start)) s)"
  else
    echo "vm check $name: FAILED"
    for log in "$work"/*.log; do
      [ -f "$log" ] && { echo "-- $log" && tail -n 40 "$log"; }
    done
    failed=$((failed + 1))
  fi
  stop_sim
  rm -f "$work"/*.log
done
exit $failed
