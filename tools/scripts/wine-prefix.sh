#!/usr/bin/env bash
# Makes a 32-bit Wine prefix once: wineboot, Tahoma mapped to a DejaVu face (Wine's own Tahoma
# lacks many Vietnamese glyphs), menu-builder disabled, no crash dialog. Safe when several tests
# start together. A prefix made by an older version of this script gets the newer settings.
set -eu
prefix=${1:?usage: wine-prefix.sh PREFIX}
# Raise when the settings below change: existing prefixes then take them on their next run.
settings_version=3
ready="$prefix/.qlr-ready"
[ "$(cat "$ready" 2>/dev/null)" = "$settings_version" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ "$(cat "$ready" 2>/dev/null)" = "$settings_version" ] && exit 0
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
fresh=0
if [ ! -f "$prefix/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
  fresh=1
fi
# Three drives for the archive component's tests: R: removable with the label of a backup set's
# first disk, S: a CD-ROM, N: a network drive connected to \\qlrsrv\ketoan. Wine takes a
# drive's type from the registry and its label from the file .windows-label at its top, both when
# its server starts.
drives="$prefix/qlr-drives"
mkdir -p "$drives/removable" "$drives/cdrom" "$prefix/dosdevices/unc/qlrsrv/ketoan"
echo "PKBACK# 001" >"$drives/removable/.windows-label"
ln -sfn ../qlr-drives/removable "$prefix/dosdevices/r:"
ln -sfn ../qlr-drives/cdrom "$prefix/dosdevices/s:"
ln -sfn unc/qlrsrv/ketoan "$prefix/dosdevices/n:"
reg=$(mktemp --suffix=.reg)
# ShowCrashDialog: with a display, a crashing test would otherwise wait for a click on Wine's
# crash dialog until its timeout; without it, the crash is reported and the program ends.
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

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_LOCAL_MACHINE\Software\Wine\Drives]
"r:"="floppy"
"s:"="cdrom"
"n:"="network"
REG
wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
rm -f "$reg"
# A new prefix is complete once its boot has settled; an existing one may be in use by running
# tests, which must not be waited for.
[ "$fresh" = 1 ] && wineserver -w
echo "$settings_version" >"$ready"
