#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite:
# plain, under AddressSanitizer+UndefinedBehaviorSanitizer, the threaded
# message-library tests under ThreadSanitizer, the fuzz targets for a
# bounded time, and the Windows cross-build of the message library, whose
# prgtool.exe the plain build's tests run under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
builds=${VZ_BUILD_ROOT:-$root/build}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

scripts/install-deps.sh

passed=0
failed=0
run_ctest() { # build-dir, ctest arguments...
  local dir=$1 log
  shift
  log=$(mktemp)
  set +e
  (cd "$dir" && ctest --output-on-failure --timeout 900 -j2 "$@") 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  set -e
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [ -n "$line" ]; then
    local f t
    f=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
    t=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
    passed=$((passed + t - f))
    failed=$((failed + f))
  elif [ "$rc" -ne 0 ]; then
    failed=$((failed + 1))
  fi
  rm -f "$log"
  return 0
}
configure_build() { # build-dir, cmake arguments...
  local dir=$1
  shift
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir"
}

echo "== Windows cross-build of the message library, prgtool and vzquery"
configure_build "$builds/mingw" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DVZ_WITH_TESTS=OFF -DVZ_WITH_APP=OFF -DVZ_WITH_BENCH=OFF

echo "== Plain build (with the guest machine's checks over the kernel sequencer, label vm)"
configure_build "$builds/plain" -DVZ_MINGW_BUILD_DIR="$builds/mingw" -DVZ_VM_TESTS=ON
run_ctest "$builds/plain" -LE vm
# The guest alone: emulation takes a whole core, which would starve the
# timed exchanges of the tests beside it.
run_ctest "$builds/plain" -L vm

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
configure_build "$builds/asan" -DVZ_SANITIZE=address,undefined -DVZ_WITH_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_ctest "$builds/asan"

echo "== ThreadSanitizer (threaded message-library tests; the ALSA back-end's in the guest machine)"
configure_build "$builds/tsan" -DVZ_SANITIZE=thread -DVZ_WITH_APP=OFF -DVZ_WITH_BENCH=OFF -DVZ_VM_TESTS=ON
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/tsan_qt.supp
run_ctest "$builds/tsan" -L threaded
run_ctest "$builds/tsan" -L vm
unset TSAN_OPTIONS

echo "== Fuzz targets (bounded runs)"
CC=clang CXX=clang++ configure_build "$builds/fuzz" -DVZ_FUZZ=ON -DVZ_WITH_TESTS=OFF -DVZ_WITH_APP=OFF \
  -DVZ_WITH_BENCH=OFF
run_ctest "$builds/fuzz" -L fuzz

echo "suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
