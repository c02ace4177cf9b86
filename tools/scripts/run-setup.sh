#!/usr/bin/env bash
# Builds the Windows setup and starts SetupQLR.exe under Wine (with the built-in stand-in
# payload), in the build folder's own prefix; headless under Xvfb when no display is set.
# The product is the i686 build; a machine that runs no 32-bit code starts the same setup built
# for x86_64 under wine64 instead, and says so.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"
"$top/tools/scripts/install-prerequisites.sh"
. "$top/tools/scripts/machine.sh"
preset=$(windows_test_preset)
if [ "$preset" = windows64 ]; then
  echo "This machine runs no 32-bit code: starting the setup built for x86_64 (windows64) under wine64."
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" --target SetupQLR
if [ -z "${DISPLAY:-}" ]; then
  . "$top/tools/scripts/xvfb.sh"
  start_xvfb
  trap stop_xvfb EXIT
  echo "No display: running under Xvfb on $DISPLAY (take a screenshot with: DISPLAY=$DISPLAY import -window root shot.png)"
fi
# Not exec: the trap must still end the Xvfb it started when the setup closes.
"$top/build/$preset/wine-run" "$top/build/$preset/app/SetupQLR.exe"
