#!/bin/bash
# Run in the guest (cache.sh): makes one of the tests' Wine prefixes as wine.sh makes it, drives
# included, on the guest's own disk, and copies it to OUTDIR/ARCH. One prefix per boot: under full
# emulation the wineboot of a second prefix in the same boot failed every time (exit code 53,
# nothing logged), whichever came first.
# usage: guest-prefixes.sh OUTDIR win32|win64
set -u
out=${1:?usage: guest-prefixes.sh OUTDIR ARCH}
arch=${2:?usage: guest-prefixes.sh OUTDIR ARCH}
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/tools/scripts/xvfb.sh"
start_xvfb
trap stop_xvfb EXIT
work=/var/tmp/vm32-prefix
start=$SECONDS
wine=(env WINEPREFIX="$work/$arch" WINEARCH="$arch" "$top/tools/scripts/wine.sh")
# What counts is the prefix wine.sh leaves ready, whatever the small program answers.
"${wine[@]}" cmd /c exit </dev/null >"$work.log" 2>&1
rc=$?
"${wine[@]}" wineserver -w
if [ ! -f "$work/$arch/.qlr-ready" ]; then
  echo "the $arch prefix was not made (exit code $rc); the end of its log:"
  tail -n 30 "$work.log"
  exit 1
fi
cp -a "$work/$arch" "$out/$arch" || exit 1
echo "$arch prefix: $((SECONDS - start)) s"
