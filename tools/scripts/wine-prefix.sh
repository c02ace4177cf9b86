#!/usr/bin/env bash
# Makes a 32-bit Wine prefix once: wineboot, Tahoma mapped to a DejaVu face (Wine's own Tahoma
# lacks many Vietnamese glyphs), menu-builder disabled. Safe when several tests start together.
set -eu
prefix=${1:?usage: wine-prefix.sh PREFIX}
[ -f "$prefix/.qlr-ready" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.qlr-ready" ] && exit 0
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
wineboot -i >/dev/null 2>&1
reg=$(mktemp --suffix=.reg)
cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Tahoma"="DejaVu Sans"
"Tahoma Bold"="DejaVu Sans Bold"
"MS Shell Dlg"="DejaVu Sans"
"MS Shell Dlg 2"="DejaVu Sans"
"MS Sans Serif"="DejaVu Sans"

[HKEY_CURRENT_USER\Software\Wine\DllOverrides]
"winemenubuilder.exe"=""
"mscoree"=""
"mshtml"=""
REG
wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
rm -f "$reg"
wineserver -w
touch "$prefix/.qlr-ready"
