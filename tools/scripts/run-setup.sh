#!/usr/bin/env bash
# Builds the Windows product and starts SetupQLR.exe under Wine (with the built-in stand-in
# payload), in the build folder's own prefix; headless under Xvfb when no display is set.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"
"$top/tools/scripts/install-prerequisites.sh"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target SetupQLR
if [ -z "${DISPLAY:-}" ]; then
  . "$top/tools/scripts/xvfb.sh"
  start_xvfb
  trap stop_xvfb EXIT
  echo "No display: running under Xvfb on $DISPLAY (take a screenshot with: DISPLAY=$DISPLAY import -window root shot.png)"
fi
# Not exec: the trap must still end the Xvfb it started when the setup closes.
"$top/build/windows/wine-run" "$top/build/windows/app/SetupQLR.exe"
