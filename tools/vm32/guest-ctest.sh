#!/bin/bash
# Run in the guest (test-guest.sh): the i686 build's Windows tests with ctest on an Xvfb display.
# Every time limit of the end-to-end driver and of the tests that wait follows the build's time
# scale (QLR_TIME_SCALE in its cache, which test-guest.sh sets for the run). QLR_WOW64=1 runs
# the tests in the 64-bit prefixes.
# usage: guest-ctest.sh BUILD_DIR [CTEST ARGS...]
set -u
build=${1:?usage: guest-ctest.sh BUILD_DIR [CTEST ARGS...]}
shift
scale=$(sed -n 's/^QLR_TIME_SCALE:STRING=//p' "$build/CMakeCache.txt")
top=$(cd "$(dirname "$0")/../.." && pwd)
echo "guest: Linux $(uname -r) (${VM32_ACCEL:-tcg}), $(/usr/lib/wine/wine --version), $(nproc) CPUs, time scale ${scale:-1}, $([ "${QLR_WOW64:-0}" = 1 ] && echo "64-bit prefixes (WOW64)" || echo "32-bit prefixes")"
. "$top/tools/scripts/xvfb.sh"
start_xvfb || exit 1
# The test prefix's system processes (services.exe and the others) are started once, here, with
# their output elsewhere: started by a test they would inherit its output pipe and hold ctest
# waiting for them until the test's limit. A persistent server keeps them for every test (under
# full emulation their start costs most of a minute).
if [ "${QLR_WOW64:-0}" = 1 ]; then
  test_prefix=(env WINEPREFIX="$build/wineprefix64" WINEARCH=win64)
else
  test_prefix=(env WINEPREFIX="$build/wineprefix" WINEARCH=win32)
fi
"${test_prefix[@]}" "$top/tools/scripts/wine.sh" wineserver -p
"${test_prefix[@]}" "$top/tools/scripts/wine.sh" cmd /c exit </dev/null >/dev/null 2>&1
start=$SECONDS
ctest --test-dir "$build" --output-on-failure --no-tests=error "$@"
rc=$?
echo "guest: ctest took $((SECONDS - start)) s"
"${test_prefix[@]}" "$top/tools/scripts/wine.sh" wineserver -k 2>/dev/null
stop_xvfb
exit "$rc"
