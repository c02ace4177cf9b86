#!/usr/bin/env bash
# Installs, only when missing, every Debian package the builds and their tests need.
# Safe to run again: a machine that has everything is left untouched and no network is used.
# The 32-bit Wine (and the i386 architecture it comes from) only where this machine runs 32-bit
# code; wine64 and both mingw-w64 compilers everywhere. Where the i686 tests run in the emulated
# guest (tools/vm32), what builds and boots it: the guest's own packages come from the same mirror
# into its image, never onto this machine.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/machine.sh"

packages=(
  build-essential cmake ninja-build pkg-config
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev
  zlib1g-dev libgtest-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev
  wine wine64
  xvfb xauth x11-utils imagemagick fonts-dejavu-core
  zip unzip p7zip-full libarchive-tools wixl
  openssl osslsigncode
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

if i686_tests_in_guest; then
  packages+=(qemu-system-x86 mmdebstrap eatmydata e2fsprogs)
fi

need_update=0
if runs_32bit_code; then
  packages+=(wine32:i386)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
    need_update=1
  fi
elif dpkg --print-foreign-architectures | grep -qx i386; then
  # Nothing of i386 can run here, and its indexes only give apt more to fail on. Dropping the
  # architecture is refused while i386 packages are installed; then it stays, harmlessly.
  "${sudo_cmd[@]}" dpkg --remove-architecture i386 2>/dev/null && need_update=1 || true
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -gt 0 ] && need_update=1

# A mirror in the middle of a sync fails an index now and then ("File has unexpected size"):
# retry a few times, then go on with the indexes there are; the install says what is missing.
if [ "$need_update" = 1 ]; then
  for attempt in 1 2 3; do
    "${sudo_cmd[@]}" apt-get update -qq && break
    echo "apt-get update failed (attempt $attempt of 3)" >&2
    [ "$attempt" -lt 3 ] && sleep 10
  done
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if ! DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
    # Name what could not be had, one package at a time.
    for p in "${missing[@]}"; do
      if ! DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "$p" >/dev/null 2>&1; then
        echo "install-prerequisites: the package $p cannot be installed" >&2
        exit 1
      fi
    done
  fi
fi
