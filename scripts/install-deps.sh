#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# As root it installs what is missing; otherwise it names what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-dev
  qtbase5-dev qtdeclarative5-dev qtquickcontrols2-5-dev qttools5-dev qttools5-dev-tools
  qml-module-qtquick2 qml-module-qtquick-window2 qml-module-qtquick-controls2
  qml-module-qtquick-templates2 qml-module-qtquick-dialogs qml-module-qtquick-controls qml-module-qtquick-layouts
  qml-module-qtqml-models2 qml-module-qt-labs-folderlistmodel qml-module-qt-labs-settings
  libzip-dev libasound2-dev g++-mingw-w64-x86-64
  qemu-system-x86 busybox-static wine wine64
  dbus xvfb xauth openssl python3 fonts-noto-cjk fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages (run as root to install them): ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}"
