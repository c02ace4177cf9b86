#!/usr/bin/env bash
# The elevated setup and its engine import nothing but KnownDLLs: Windows takes those from the
# system folder whatever lies beside the program, while any other imported name is looked for in
# the program's own folder first, before the setup can restrict the search.
# usage: known_dlls.sh OBJDUMP PROGRAM...
set -uo pipefail
objdump=${1:?objdump}
shift

# HKLM\System\CurrentControlSet\Control\Session Manager\KnownDLLs as Windows 10 and 11 list it
# (wow64* are the 32-bit layer's own). Not comctl32, though the manifest's dependency takes it from
# the side-by-side store: its start-up loads uxtheme.dll by bare name, so the setup loads it once
# the search is restricted.
known=(advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32 kernel32 msctf msvcrt normaliz
       nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32 wow64 wow64cpu
       wow64win ws2_32 ntdll)

failed=0
for program in "$@"; do
  imports=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: \(.*\)$/\1/p')
  if [ -z "$imports" ]; then
    echo "FAIL $program: no import table read"
    failed=1
    continue
  fi
  for dll in $imports; do
    base=$(tr '[:upper:]' '[:lower:]' <<<"${dll%.*}")
    if [[ " ${known[*]} " == *" $base "* ]]; then
      echo "ok   $(basename "$program"): $dll"
    else
      echo "FAIL $(basename "$program"): $dll is no KnownDLL: load it once the search is restricted"
      failed=1
    fi
  done
done
exit "$failed"
