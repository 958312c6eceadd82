#!/usr/bin/env bash
# Installs everything the build, the tests and the run need on a bare Debian 12.
# Safe to run again: each step checks whether it is already done.
set -euo pipefail

sudo_() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(
  build-essential cmake ninja-build git clang clang-format libclang-rt-14-dev llvm
  googletest libgtest-dev valgrind python3
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
  wine wine64 wine32:i386 qemu-user-static
  xvfb xdotool x11-apps x11-utils imagemagick icoutils
  locales fonts-wqy-microhei procps
)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  sudo_ dpkg --add-architecture i386
  missing=("${packages[@]}")
else
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
fi
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  sudo_ apt-get update -q
  sudo_ apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Code page 936 for Wine comes from the zh_CN.UTF-8 locale.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  sudo_ sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | sudo_ tee -a /etc/locale.gen >/dev/null
  sudo_ locale-gen >/dev/null
fi

# 32-bit Wine on kernels that cannot execute i386 code: run it through qemu.
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  mountpoint -q /proc/sys/fs/binfmt_misc || sudo_ mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
      | sudo_ tee /proc/sys/fs/binfmt_misc/register >/dev/null
  fi
fi
