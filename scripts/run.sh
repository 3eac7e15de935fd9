#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/plain -G Ninja >/dev/null
cmake --build build/plain
exec build/plain/tools/prgtool/prgtool info build/plain/res/update.bin
