#!/usr/bin/env bash
# A newcomer's fresh machine, proven: in a newly bootstrapped minimal Debian 12
# (only git and ca-certificates added) with a clean clone of a commit,
#   1. the test command, scripts/test.sh;
#   2. the run command, scripts/run.sh, far enough to show the demo works: the
#      window appears, the program reads the simulated recorder and the update
#      information; ended after a time limit;
#   3. the Debian package: built with dpkg-buildpackage, checked by lintian,
#      desktop-file-validate and appstreamcli;
# then in a second fresh system the package is installed with apt, started
# from its desktop entry's Exec line, and purged, leaving nothing in /usr.
#
#   scripts/fresh-machine.sh [REV]     (as root; REV defaults to HEAD)
#
# Environment: FRESH_CACHE, where the pristine system is kept (default
# /var/cache/veldracorder-fresh); FRESH_KEEP=1 keeps both systems afterwards.
# Needs debootstrap on this machine. The last line on standard output is
# "suites: N passed, N failed"; the exit status is non-zero on any failure.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
rev=$(git -C "$repo" rev-parse "${1:-HEAD}")
cache=${FRESH_CACHE:-/var/cache/veldracorder-fresh}
pristine=$cache/bookworm-minbase.tar
mirror=http://deb.debian.org/debian

[ "$(id -u)" -eq 0 ] || { echo "fresh-machine: needs root" >&2; exit 2; }
command -v debootstrap >/dev/null || { echo "fresh-machine: needs debootstrap" >&2; exit 2; }

# Made once and unpacked anew for every system, so each starts the same.
make_pristine() {
  [ -s "$pristine" ] && return 0
  echo "== Making the pristine Debian 12 system (once, kept in $cache)"
  mkdir -p "$cache"
  local tmp
  tmp=$(mktemp -d "$cache/make.XXXXXX")
  if ! debootstrap --variant=minbase --include=git,ca-certificates bookworm "$tmp/root" "$mirror" \
    >"$cache/debootstrap.log" 2>&1; then
    echo "fresh-machine: debootstrap failed, see $cache/debootstrap.log" >&2
    rm -rf "$tmp"
    return 1
  fi
  # The same package sources as this machine, security updates included.
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    cp /etc/apt/sources.list.d/debian.sources "$tmp/root/etc/apt/sources.list.d/"
    rm -f "$tmp/root/etc/apt/sources.list"
  fi
  tar -C "$tmp/root" -cf "$pristine.part" . && mv "$pristine.part" "$pristine"
  rm -rf "$tmp"
}

systems=()
cleanup() {
  local root
  for root in "${systems[@]}"; do
    if [ "${FRESH_KEEP:-0}" = 1 ]; then
      echo "fresh-machine: kept $root" >&2
    else
      rm -rf --one-file-system "$root"
    fi
  done
}
trap cleanup EXIT

new_system() { # sets $made to the root of a newly unpacked system
  made=$(mktemp -d /var/tmp/veldracorder-fresh.XXXXXX)
  systems+=("$made")
  tar -C "$made" -xf "$pristine"
  cp /etc/resolv.conf "$made/etc/resolv.conf" 2>/dev/null || true
  write_checks "$made"
}

# Runs a bash script inside a system, in private mount and process
# namespaces: its mounts and any process it leaves behind end with it.
# The namespace's first process stays this bash, waiting: a script's
# program that became process 1 would not get the signals that, say,
# xvfb-run waits for from its X server.
in_system() { # root, script[, time limit in seconds]
  timeout --kill-after=30 "${3:-0}" unshare --mount --pid --fork --kill-child bash -c '
    set -e
    mount --make-rprivate /
    mount -t proc proc "$1/proc"
    mount --rbind /dev "$1/dev"
    mount --rbind /sys "$1/sys"
    mount -t tmpfs tmpfs "$1/tmp"
    chroot "$1" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin bash -euo pipefail -c "$2" || exit $?
  ' in_system "$1" "$2"
}

passed=0
failed=0
# Each check has 20 minutes: one that hangs fails instead of holding CI.
check() { # name, root, script
  local name=$1
  echo "== $name"
  if in_system "$2" "$3" 1200; then
    passed=$((passed + 1))
  else
    echo "fresh-machine: FAILED: $name" >&2
    failed=$((failed + 1))
  fi
}

# The checks that run inside the systems, as files there (written before
# the system's own /tmp is mounted over). Their tools are installed only
# after the test command, so they cannot stand in for a missing install step.
write_checks() { # root
  local dir=$1/root/checks
  mkdir -p "$dir"
  cat >"$dir/common.sh" <<'EOF'
# Waits up to $1 seconds for a command to succeed.
wait_for() {
  local tries=$(($1 * 2))
  shift
  until "$@"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || { echo "gave up waiting for: $*" >&2; return 1; }
    sleep 0.5
  done
}
window_shown() { xwininfo -root -tree | grep -qF '"SORAVE Veldracorder Q7 Firmware Updater"'; }
EOF
  cat >"$dir/demo.sh" <<'EOF'
# Under a virtual display: the run command's window appears, the simulated
# recorder answers the program's version question (1.00), and the update
# information announcing a newer version is read; the demo's time limit ends it.
. /root/checks/common.sh
cd /root/project
VZ_DEMO_SECONDS=90 scripts/run.sh >/tmp/demo.log 2>&1 &
demo=$!
ok=0
wait_for 600 grep -q '^vzsim: listening' /tmp/demo.log &&
  wait_for 60 window_shown &&
  wait_for 60 grep -q '^<- .*0x01=100' /tmp/demo.log &&
  wait_for 60 grep -q 'json ok' /tmp/demo.log &&
  wait_for 60 grep -q 'server fw version is later than device' /tmp/demo.log && ok=1
wait "$demo" || { echo "run.sh failed" >&2; ok=0; }
grep -v '^[-<]' /tmp/demo.log
[ "$ok" = 1 ]
EOF
  cat >"$dir/package.sh" <<'EOF'
apt-get build-dep -y -qq /root/project >/dev/null
apt-get install -y -qq --no-install-recommends lintian desktop-file-utils appstream >/dev/null
cd /root/project
dpkg-buildpackage -b -us -uc >/tmp/package.log 2>&1 || { tail -n 50 /tmp/package.log; exit 1; }
lintian --fail-on error ../veldracorder-updater_*.changes
rm -rf /tmp/contents
dpkg-deb -x ../veldracorder-updater_*.deb /tmp/contents
desktop-file-validate /tmp/contents/usr/share/applications/*.desktop
appstreamcli validate --no-net /tmp/contents/usr/share/metainfo/*.metainfo.xml
# For users: no sample image, update server, test programs or benchmarks.
if dpkg-deb -c ../veldracorder-updater_*.deb | grep -E 'update\.bin|updateserver|tst_|bench_'; then
  exit 1
fi
EOF
  cat >"$dir/install.sh" <<'EOF'
# Installed with apt, started from the menu entry's Exec line (field codes
# dropped), purged: nothing of ours may stay in /usr.
cd /root
apt-get update -qq
apt-get install -y -qq ./veldracorder-updater_*.deb >/dev/null
ours=$(dpkg -L veldracorder-updater | while read -r f; do [ -d "$f" ] || echo "$f"; done)
apt-get install -y -qq --no-install-recommends xvfb xauth x11-utils >/dev/null
entry=/usr/share/applications/example.sorave.VeldracorderUpdater.desktop
exec_line=$(sed -n 's/^Exec=//p' "$entry" | sed -E 's/ ?%[a-zA-Z]//g')
echo "Exec: $exec_line"
xvfb-run -a bash -c ". /root/checks/common.sh; $exec_line & wait_for 60 window_shown; shown=\$?; kill \$!; exit \$shown"
apt-get purge -y -qq veldracorder-updater >/dev/null
left=$(for f in $ours; do [ ! -e "$f" ] || echo "$f"; done
  find /usr \( -iname '*veldracorder*' -o -iname '*sorave*' -o -name vzunzip \) -print)
[ -z "$left" ] || { echo "left behind: $left" >&2; exit 1; }
EOF
}

make_pristine
new_system
first=$made
git clone -q --no-hardlinks "$repo" "$first/root/project"
git -C "$first/root/project" checkout -q "$rev"
echo "fresh-machine: testing $(git -C "$first/root/project" log -1 --format='%h %s')"

echo "== The test command"
log=$(mktemp)
set +e
in_system "$first" 'cd /root/project && scripts/test.sh' 2>&1 | tee "$log"
set -e
summary=$(grep -E '^suites: [0-9]+ passed, [0-9]+ failed$' "$log" | tail -n 1 || true)
rm -f "$log"
if [ -n "$summary" ]; then
  read -r test_passed test_failed < <(sed -E 's/^suites: ([0-9]+) passed, ([0-9]+) failed$/\1 \2/' <<<"$summary")
  passed=$((passed + test_passed))
  failed=$((failed + test_failed))
else
  echo "fresh-machine: FAILED: the test command gave no summary" >&2
  failed=$((failed + 1))
fi

check "The run command shows the demo" "$first" 'apt-get install -y -qq --no-install-recommends x11-utils >/dev/null
xvfb-run -a bash -euo pipefail /root/checks/demo.sh'
check "The Debian package builds and validates" "$first" '. /root/checks/package.sh'

new_system
second=$made
cp "$first"/root/veldracorder-updater_*.deb "$second/root/" 2>/dev/null || true
check "The package installs, starts from its menu entry and purges cleanly" "$second" '. /root/checks/install.sh'

echo "suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
