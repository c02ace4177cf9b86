#!/usr/bin/env bash
# The i686 stage where the machine runs no 32-bit code: the product's Windows tests (build/windows,
# built with its tests) run in an emulated 64-bit guest whose kernel runs 32-bit code
# (tools/vm32). The guest image and its Wine prefixes are made once per machine and kept in
# the machine's cache; each run copies fresh prefixes into the build folder: the 32-bit ones
# (wineprefix, wineprefix-e2e) and the 64-bit one where the i686 setup runs under WOW64
# (wineprefix-e2e64, and wineprefix64 for the whole suite under WOW64). The tests' time limits and
# ctest's time-outs are multiplied by QLR_TIME_SCALE: 10 under full emulation, 2 under KVM, unless
# set. KVM is used where it runs the guest.
#   usage: test-guest.sh [BUILD_DIR]                the tests labelled guest
#          test-guest.sh [BUILD_DIR] --full         the whole i686 suite (all but the
#                                   reproducible-release checks, which need no Wine and run here),
#                                   in the 32-bit prefixes and again in 64-bit ones (WOW64)
#          test-guest.sh [BUILD_DIR] CTEST ARGS...  e.g. -R zip_tests
#   BUILD_DIR: the i686 build (default build/windows)
# Prints ctest's output with its closing summary line and exits with ctest's code: a guest that
# gives no code, or a selection that finds no test, fails. QLR_I686_IN_GUEST=tcg forces full
# emulation where KVM is usable (see tools/scripts/machine.sh).
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$top/build/windows
if [ -d "${1:-}" ]; then build=$(cd "$1" && pwd); shift; fi
. "$top/tools/scripts/machine.sh"
. "$top/tools/vm32/cache.sh"

full=0
if [ "${1:-}" = --full ]; then
  shift
  full=1
  selection=(-LE reproducible)
elif [ $# -gt 0 ]; then
  selection=("$@")
else
  selection=(-L guest)
fi
if [ ! -f "$build/CTestTestfile.cmake" ]; then
  echo "test-guest.sh: no i686 tests in $build (cmake --preset windows && cmake --build --preset windows)" >&2
  exit 1
fi

[ "${QLR_I686_IN_GUEST:-}" = tcg ] && export VM32_ACCEL=tcg

start=$SECONDS
vm32_image || exit 1
vm32_prefixes "$top" || exit 1
for prefix in wineprefix:win32 wineprefix-e2e:win32 wineprefix-e2e64:win64 wineprefix64:win64; do
  rm -rf "${build:?}/${prefix%%:*}"
  cp -a "$VM32_PREFIXES/${prefix#*:}" "$build/${prefix%%:*}" || exit 1
done
echo "== i686 tests in the guest: ctest ${selection[*]} (guest ready in $((SECONDS - start)) s)"

# The time scale is the build's (QLR_TIME_SCALE in its cache): ctest's time-outs and the limits
# each test is given both follow it. Set for this run, then put back as it was.
scale=${QLR_TIME_SCALE:-}
if [ -z "$scale" ]; then
  if [ "${VM32_ACCEL:-}" != tcg ] && [ "$(cat "$VM32_IMAGE/kvm-runs-guests" 2>/dev/null)" = yes ]; then scale=2; else scale=10; fi
fi
previous_scale=$(sed -n 's/^QLR_TIME_SCALE:STRING=//p' "$build/CMakeCache.txt")
cmake -DQLR_TIME_SCALE="$scale" "$build" >/dev/null || exit 1
trap 'cmake -DQLR_TIME_SCALE="${previous_scale:-1}" "$build" >/dev/null' EXIT

# The tests read the shared test vectors beside the project, where there are any.
shares=("$top")
[ -d "$top/../shared" ] && shares+=("$top/../shared")
# The whole suite runs twice: in the 32-bit prefixes, then in 64-bit ones (QLR_WOW64), as on
# 64-bit Windows; ctest's summary of each run is counted.
runs=("bash $(printf '%q ' "$top/tools/vm32/guest-ctest.sh" "$build" -j 2 "${selection[@]}")")
[ "$full" = 1 ] && runs+=("QLR_WOW64=1 ${runs[0]}")
command=$(printf '%s; ' "rc=0" "${runs[@]/%/ || rc=1}" "exit \$rc")
"$top/tools/vm32/run-in-vm.sh" "$VM32_IMAGE" "$command" "${shares[@]}"
