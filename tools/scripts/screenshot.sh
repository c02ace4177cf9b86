#!/usr/bin/env bash
# Runs a Windows GUI program under Xvfb in a build folder's Wine prefix, waits, takes a
# screenshot of the whole screen, and ends the program.
# usage: screenshot.sh BUILD_DIR PROGRAM.exe OUT.png [SECONDS]
set -euo pipefail
build=${1:?build dir}; prog=${2:?program}; out=${3:?output png}; wait_s=${4:-4}
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/tools/scripts/xvfb.sh"
own_display=0
if [ -z "${DISPLAY:-}" ]; then start_xvfb; own_display=1; fi
"$build/wine-run" "$prog" &
pid=$!
sleep "$wait_s"
import -window root "$out"
kill "$pid" 2>/dev/null || true
"$build/wine-run" wineserver -k 2>/dev/null || true
[ "$own_display" = 1 ] && stop_xvfb
echo "screenshot: $out"
