#!/usr/bin/env bash
# Installs, only when missing, every Debian package the two builds and their tests need.
# Safe to run again: a machine that has everything is left untouched and no network is used.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  g++-mingw-w64-i686 libz-mingw-w64-dev
  zlib1g-dev libgtest-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev
  wine wine32:i386
  xvfb xauth x11-utils imagemagick fonts-dejavu-core
  zip unzip p7zip-full libarchive-tools wixl
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
elif [ "${need_update:-0}" = 1 ]; then
  "${sudo_cmd[@]}" apt-get update -qq
fi

# The mingw compiler with POSIX threads gives std::thread and std::mutex.
if [ -x /usr/bin/i686-w64-mingw32-g++-posix ] && \
   [ "$(readlink -f /usr/bin/i686-w64-mingw32-g++ 2>/dev/null)" != "$(readlink -f /usr/bin/i686-w64-mingw32-g++-posix)" ]; then
  : # the toolchain file names the -posix compiler directly; nothing to switch
fi
