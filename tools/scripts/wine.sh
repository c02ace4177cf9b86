#!/usr/bin/env bash
# The one place that runs Wine. Every script and test that starts a Windows program or one of
# Wine's own tools comes here.
#   usage: wine.sh PROGRAM.exe [ARGS...]   a Windows program (the prefix is made ready first)
#          wine.sh wineboot|reg|regedit|winepath [ARGS...]
#          wine.sh wineserver [ARGS...]     e.g. -k to end the prefix's programs, -w to wait
# WINEPREFIX names the prefix and WINEARCH its kind: win32 (the product's, like the target
# machines) or win64 (the x86_64 test build's). The loader is picked to match, never through
# /usr/bin/wine: that one prefers the 32-bit loader whenever wine32 is installed, also on a
# machine that cannot run it.
# QLR_WINE_LANG=vi_VN.UTF-8 makes a Vietnamese machine (Wine takes the system code page, here
# 1258, from the locale); unset, the host's locale holds.
set -eu
: "${WINEPREFIX:?wine.sh: WINEPREFIX names the prefix}"
: "${WINEARCH:?wine.sh: WINEARCH is win32 or win64}"
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

case "$WINEARCH" in
  win64)
    loader=/usr/lib/wine/wine64
    export WINESERVER=/usr/lib/wine/wineserver64
    ;;
  win32)
    loader=/usr/lib/wine/wine
    # A 64-bit server serves 32-bit prefixes too; it is the one Debian's wrappers pick when both
    # are installed, so every program of the prefix meets the same server.
    export WINESERVER=/usr/lib/wine/wineserver64
    [ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver32
    . "$here/machine.sh"
    if ! runs_32bit_code; then
      echo "wine.sh: this machine runs no 32-bit code, so no 32-bit prefix can be used here" >&2
      exit 1
    fi
    ;;
  *) echo "wine.sh: WINEARCH must be win32 or win64, not '$WINEARCH'" >&2; exit 1 ;;
esac
if [ ! -x "$loader" ]; then
  echo "wine.sh: $loader is missing (tools/scripts/install-prerequisites.sh installs it)" >&2
  exit 1
fi
# Wine starts the prefix's further programs (a setup's children, the tools) with WINELOADER.
export WINELOADER=$loader WINEPREFIX WINEARCH
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"

# Makes the prefix once: wineboot, Tahoma mapped to a DejaVu face (Wine's own Tahoma lacks many
# Vietnamese glyphs), menu-builder disabled, no crash dialog, the archive tests' drives, and the
# user's shell folders kept inside the prefix. Safe when several tests start together. A prefix
# made with older settings takes the newer ones.
prepare_prefix() {
  # Raise when the settings below change: existing prefixes then take them on their next run.
  local settings_version=5
  local ready="$WINEPREFIX/.qlr-ready"
  [ "$(cat "$ready" 2>/dev/null)" = "$settings_version:$WINEARCH" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ "$(cat "$ready" 2>/dev/null)" = "$settings_version:$WINEARCH" ]; then exec 9>&-; return 0; fi
  local fresh=0
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$loader" wineboot -i >/dev/null 2>&1
    fresh=1
  fi
  # Three drives for the archive component's tests: R: removable with the label of a backup
  # set's first disk, S: a CD-ROM, N: a network drive connected to \\qlrsrv\ketoan. Wine takes a
  # drive's type from the registry and its label from the file .windows-label at its top, both
  # when its server starts.
  local drives="$WINEPREFIX/qlr-drives"
  mkdir -p "$drives/removable" "$drives/cdrom" "$WINEPREFIX/dosdevices/unc/qlrsrv/ketoan"
  echo "PKBACK# 001" >"$drives/removable/.windows-label"
  ln -sfn ../qlr-drives/removable "$WINEPREFIX/dosdevices/r:"
  ln -sfn ../qlr-drives/cdrom "$WINEPREFIX/dosdevices/s:"
  ln -sfn unc/qlrsrv/ketoan "$WINEPREFIX/dosdevices/n:"
  # Wine links the user's Desktop, Documents and the like to the host's home folder: the setup's
  # shortcuts would land in it, shared by every prefix (two test runs would remove each other's).
  local folder
  for folder in "$WINEPREFIX"/drive_c/users/*/{Desktop,Documents,Downloads,Music,Pictures,Videos}; do
    if [ -L "$folder" ]; then rm -f "$folder" && mkdir -p "$folder"; fi
  done
  local reg
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
  "$loader" regedit /S "$("$loader" winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1
  rm -f "$reg"
  # A new prefix is complete once its boot has settled; an existing one may be in use by running
  # tests, which must not be waited for.
  [ "$fresh" = 1 ] && "$WINESERVER" -w
  echo "$settings_version:$WINEARCH" >"$ready"
  exec 9>&-
}

command=${1:?usage: wine.sh PROGRAM.exe|wineboot|reg|regedit|winepath|wineserver [ARGS...]}
shift
case "$command" in
  wineserver) exec "$WINESERVER" "$@" ;;
  wineboot) exec "$loader" wineboot "$@" ;;
esac
prepare_prefix
locale=()
if [ -n "${QLR_WINE_LANG:-}" ]; then
  locale=(LANG="$QLR_WINE_LANG" LC_ALL="$QLR_WINE_LANG")  # given to Wine only: the host may lack it
fi
exec env "${locale[@]}" "$loader" "$command" "$@"
