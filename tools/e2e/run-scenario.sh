#!/usr/bin/env bash
# Runs one end-to-end scenario: the driver starts the setup in the e2e Wine prefix on a virtual
# display and works it; this script takes the screenshots the driver asks for.
# usage: run-scenario.sh DRIVER.exe SETUP.exe SCENARIO SHOTS_DIR PREFIX WINEARCH
# QLR_E2E_ARCHIVES, when set, names the build's folder of the carried archives, whose listings
# the driver compares the laid-down files with.
set -uo pipefail
driver=${1:?driver}; setup=${2:?setup}; scenario=${3:?scenario}; shots=${4:?shots dir}; prefix=${5:?prefix}
export WINEARCH=${6:?wine arch}
# QLR_WOW64=1: the i686 setup and driver in a 64-bit prefix of their own, as on 64-bit Windows.
if [ "${QLR_WOW64:-0}" = 1 ] && [ "$WINEARCH" = win32 ]; then
  prefix="${prefix}64" WINEARCH=win64
fi
top=$(cd "$(dirname "$0")/../.." && pwd)
export WINEPREFIX="$prefix"
wine="$top/tools/scripts/wine.sh"

. "$top/tools/scripts/xvfb.sh"
own_display=0
if [ -z "${DISPLAY:-}" ]; then start_xvfb || exit 1; own_display=1; fi

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
mkdir -p "$shots"
rm -f "$shots/request"
export QLR_E2E_SHOTS; QLR_E2E_SHOTS=$(windows_path "$(cd "$shots" && pwd)")
if [ -n "${QLR_E2E_ARCHIVES:-}" ]; then
  export QLR_E2E_ARCHIVES; QLR_E2E_ARCHIVES=$(windows_path "$(realpath "$QLR_E2E_ARCHIVES")")
fi

"$wine" "$driver" "$scenario" "$(windows_path "$(realpath "$setup")")" &
driver_pid=$!
while kill -0 "$driver_pid" 2>/dev/null; do
  if [ -f "$shots/request" ]; then
    name=$(cat "$shots/request")
    import -window root "$shots/$name.png" && echo "screenshot: $shots/$name.png"
    rm -f "$shots/request"
  fi
  sleep 0.1
done
wait "$driver_pid"
rc=$?

"$wine" wineserver -k 2>/dev/null || true
[ "$own_display" = 1 ] && stop_xvfb
exit "$rc"
