#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo: a simulated recorder
# running firmware 1.00 (vzsim), a local update server on 127.0.0.1 that
# announces firmware 1.02 as a zip archive, and the program pointed at both.
# Closing the program stops the other two. Unattended (VZ_DEMO_SECONDS set)
# the demo ends after that many seconds and the simulator prints the
# exchange, so a log shows that the program found and read the recorder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${VZ_BUILD_ROOT:-$root/build}/plain

scripts/install-deps.sh
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build"

demo=$(mktemp -d "${TMPDIR:-/tmp}/veldracorder-demo.XXXXXX")
helpers=()
stop_helpers() {
  for pid in "${helpers[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${helpers[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$demo"
}
trap stop_helpers EXIT
trap 'exit 130' INT TERM

# Waits up to ten seconds for a condition, e.g. wait_for test -S PATH.
wait_for() {
  for _ in $(seq 100); do
    "$@" && return 0
    sleep 0.1
  done
  echo "run.sh: gave up waiting for: $*" >&2
  return 1
}

# The announced firmware: an image for version 1.02 build 40 and a release
# note, zipped as the maker ships them.
mkdir -p "$demo/site/download/fw/Veldracorder" "$demo/tmp"
fw=$demo/site/download/fw/Veldracorder
"$build/tools/prgtool/prgtool" build --generate-size 1048576 --version 102 --build 40 --date 2026-11-30 \
  -o "$demo/VeldracorderQ7_102.bin" >/dev/null
printf 'Veldracorder Q7 firmware 1.02 (build 40)\n- Quieter preamplifier\n' >"$demo/ReleaseNotes.txt"
python3 - "$fw/VeldracorderQ7_102.zip" "$demo/VeldracorderQ7_102.bin" "$demo/ReleaseNotes.txt" <<'PY'
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as archive:
    for path in sys.argv[2:]:
        archive.write(path, os.path.basename(path))
PY
printf '<html><body><h1>SORAVE Veldracorder Q7</h1></body></html>\n' >"$demo/site/product.html"
printf '<html><body><h1>Release notes 1.02</h1><p>Quieter preamplifier.</p></body></html>\n' \
  >"$demo/site/releasenotes.html"
cat >"$fw/VeldracorderQ7_UpdateInformation.json" <<'JSON'
{
  "VeldracorderQ7_version1": {
    "firmware_version": 102,
    "firmware_build": 40,
    "firmware_url": "@BASE_URL@/download/fw/Veldracorder/VeldracorderQ7_102.zip",
    "product_url_ja": "@BASE_URL@/product.html",
    "product_url_en": "@BASE_URL@/product.html",
    "releasenote_url_ja": "@BASE_URL@/releasenotes.html",
    "releasenote_url_en": "@BASE_URL@/releasenotes.html"
  }
}
JSON

# The update server, plain HTTP on 127.0.0.1: the program checks HTTPS
# certificates against the system's authorities, which know no local one.
info_path=/download/fw/Veldracorder/VeldracorderQ7_UpdateInformation.json
serve=()
for file in "$fw"/* "$demo/site/product.html" "$demo/site/releasenotes.html"; do
  serve+=(--serve "${file#"$demo/site"}=$file")
done
"$build/tools/updateserver/updateserver" "${serve[@]}" >"$demo/server.out" &
helpers+=($!)
wait_for grep -q '^listening ' "$demo/server.out"
base=$(sed -n 's/^listening //p' "$demo/server.out")

limit=()
sim_options=()
if [ -n "${VZ_DEMO_SECONDS:-}" ]; then
  limit=(timeout -k 10 "$VZ_DEMO_SECONDS")
  sim_options=(--verbose)
fi

# The recorder: firmware 1.00 build 39, behind a bridge socket.
socket=$demo/recorder.sock
"$build/tools/vzsim/vzsim" "${sim_options[@]}" --version 100 --build 39 "$socket" &
helpers+=($!)
wait_for test -S "$socket"

echo "Update server: $base$info_path"
echo "Recorder: $socket (firmware 1.00 build 39)"
program=("$build/app/VeldracorderUpdater")
if [ -z "${DISPLAY:-}" ]; then
  echo "No display: running the program under xvfb-run (see README, Demo)."
  program=(xvfb-run -a "${program[@]}")
fi
set +e
TMPDIR=$demo/tmp VZ_UPDATE_INFO_URL=$base$info_path VZMIDI_BRIDGE=$socket "${limit[@]}" "${program[@]}"
status=$?
set -e
# The time limit ending the demo is how an unattended demo ends well.
[ ${#limit[@]} -gt 0 ] && [ "$status" -eq 124 ] && status=0
exit "$status"
