# The guest's checks against vzsim --alsa (sourced by guest-checks.sh, which
# gives wait_for, said, fail, start_sim and $work).

vzquery=$VZ_BUILD/tools/vzquery/vzquery
image=$work/update.prg

make_image() { # size in bytes
  "$VZ_BUILD/tools/prgtool/prgtool" build --generate-size "$1" --version 150 --build 40 -o "$image" >/dev/null
}

# What vzquery prints for vzsim's own identity.
identity_read() { # vzquery output file
  said "$1" "^protocol: 1$" && said "$1" "^version: 0.98$" && said "$1" "^serial: VQ7-000123$" &&
    said "$1" "^battery: 3$"
}

# The update went through whole: the tool says so, the recorder reported
# the end of the write, and (vzsim started with start_written) it holds
# exactly the bytes of the image.
start_written() { start_sim --save-image "$work/written.prg"; }
update_complete() { # the tool's output file
  said "$1" "update complete$" || fail "the tool did not report a complete update" || return 1
  said "$work/sim.log" "^<- 0x55=10\b" || fail "the recorder never reported the update complete" || return 1
  stop_sim
  cmp "$image" "$work/written.prg" || fail "the recorder does not hold exactly the image sent"
}

check_tools() {
  start_written || return 1
  "$vzquery" >"$work/vzquery.log" 2>&1 || fail "vzquery found no recorder" || return 1
  identity_read "$work/vzquery.log" || fail "vzquery misread the recorder" || return 1
  make_image 20000
  timeout 120 "$vzquery" update "$image" >"$work/update.log" 2>&1 || fail "the update failed" || return 1
  update_complete "$work/update.log" || return 1
  check_unplug
}

# vzsim killed while the image goes over: the update ends, soon, telling
# that the recorder was lost.
check_unplug() {
  stop_sim
  start_sim --latency 2 || return 1
  make_image 400000
  timeout 120 "$vzquery" update "$image" >"$work/update.log" 2>&1 &
  local update=$!
  wait_for 60 said "$work/sim.log" "^-> 0x59 FWUP_DATA=" || fail "the transfer never started" || return 1
  kill -KILL "$sim_pid"
  sim_pid=
  local killed=$SECONDS
  wait "$update"
  local status=$?
  echo "update after the unplug: status $status, $((SECONDS - killed)) s later"
  [ $status -ne 124 ] || fail "the update hung after the recorder vanished" || return 1
  [ $status -eq 10 ] || fail "the update ended with status $status, not 10 (recorder lost)" || return 1
  said "$work/update.log" "the update did not complete" || fail "the update did not tell that it broke off"
}

check_window() {
  start_sim || return 1
  # No OpenGL in the guest: the program must choose to draw in software.
  "$VZ_BUILD/app/VeldracorderUpdater" >"$work/window.log" 2>&1 &
  local window=$!
  # The version and build come with the first query; once the battery has
  # been asked twice, one whole poll has put them on the window.
  local asked=0
  wait_for 120 battery_asked_twice || asked=1
  kill "$window" 2>/dev/null
  wait "$window" 2>/dev/null
  [ $asked -eq 0 ] || fail "the window never asked the recorder twice" || return 1
  said "$work/window.log" "APP OPEN" || fail "the window program did not start" || return 1
}
battery_asked_twice() { [ "$(grep -c '^-> 0x08' "$work/sim.log")" -ge 2 ]; }

# Wine's prefix from the host, writable over a tmpfs; a server that stays
# between the programs, which saves one Wine start each.
wine_start() {
  local dir=$work/wine
  mkdir -p "$dir/upper" "$dir/work" "$dir/prefix"
  mount -t overlay overlay -o "lowerdir=$VZ_WINEPREFIX,upperdir=$dir/upper,workdir=$dir/work" "$dir/prefix" ||
    fail "could not overlay the Wine prefix" || return 1
  export WINEPREFIX=$dir/prefix WINEDEBUG=${WINEDEBUG:--all}
  wineserver -p
}

# A Windows program under Wine, its output with Unix line ends in a log.
# Wine ends with a segmentation fault after the program has finished, so
# the program's output and the recorder's state are what count.
run_wine() { # log, program, arguments...
  local log=$1
  shift
  # Into a file, not a pipe: Wine's services keep its output open.
  timeout 300 wine "$@" >"$log.raw" 2>&1
  echo "${1##*/} ${2:-}: status $?"
  tr -d '\r' <"$log.raw" >"$log"
}

check_wine() {
  local exe=$VZ_WINDOWS_BUILD/tools/vzquery/vzquery.exe
  [ -f "$exe" ] || fail "no vzquery.exe in \"$VZ_WINDOWS_BUILD\" (give the mingw build as VZ_MINGW_BUILD_DIR)" ||
    return 1
  start_written || return 1
  wine_start || return 1
  run_wine "$work/vzquery.exe.log" "$exe"
  identity_read "$work/vzquery.exe.log" || fail "vzquery.exe misread the recorder" || return 1
  make_image 20000
  run_wine "$work/update.exe.log" "$exe" update "$(winepath -w "$image")"
  update_complete "$work/update.exe.log" || return 1
  wineserver -k
}

since() { awk -v start="$1" -v now="$(date +%s.%N)" 'BEGIN { printf "%.2f", now - start }'; }

# Figures, not a check of behaviour: a whole 1 MiB update through the
# kernel sequencer beside the same update over the bridge, both in here.
check_bench() {
  local size=${VZ_VM_BENCH_SIZE:-1048576} start alsa bridge
  make_image "$size"
  start_sim --instant || return 1
  start=$(date +%s.%N)
  "$vzquery" update "$image" >"$work/update.log" 2>&1 || fail "the update through ALSA failed" || return 1
  alsa=$(since "$start")
  stop_sim
  "$VZ_BUILD/tools/vzsim/vzsim" --instant "$work/bridge" >"$work/sim.log" 2>&1 &
  sim_pid=$!
  wait_for 20 test -S "$work/bridge" || fail "vzsim made no bridge socket" || return 1
  start=$(date +%s.%N)
  VZMIDI_BACKENDS=bridge VZMIDI_BRIDGE=$work/bridge "$vzquery" update "$image" >"$work/update.log" 2>&1 ||
    fail "the update over the bridge failed" || return 1
  bridge=$(since "$start")
  echo "bench: whole update of $size bytes, kernel sequencer (ALSA back-end): $alsa s"
  echo "bench: whole update of $size bytes, recorder bridge:                  $bridge s"
}
