#!/bin/bash
# Run in the guest (cache.sh): makes the tests' two Wine prefixes as wine.sh makes them, drives
# included, on the guest's own disk, and copies them to OUTDIR/win32 and OUTDIR/win64.
# usage: guest-prefixes.sh OUTDIR
set -eu
out=${1:?usage: guest-prefixes.sh OUTDIR}
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/tools/scripts/xvfb.sh"
start_xvfb
trap stop_xvfb EXIT
work=/var/tmp/vm32-prefixes
for arch in win32 win64; do
  start=$SECONDS
  WINEPREFIX=$work/$arch WINEARCH=$arch "$top/tools/scripts/wine.sh" cmd /c exit </dev/null >/dev/null 2>&1
  WINEPREFIX=$work/$arch WINEARCH=$arch "$top/tools/scripts/wine.sh" wineserver -w
  [ -f "$work/$arch/.qlr-ready" ] || { echo "the $arch prefix was not made" >&2; exit 1; }
  cp -a "$work/$arch" "$out/$arch"
  echo "$arch prefix: $((SECONDS - start)) s"
done
