#!/usr/bin/env bash
# The packager's release is reproducible: a second build of the same sources, with the same
# packager's folders, certificate, SOURCE_DATE_EPOCH and toolchain, in another folder, at a later
# time and in another time zone, gives the same bytes as this build's packager's setup: the signed
# setup, the signed engine library it carries and both carried archives. Their sums are printed:
# what a packager compares a release with.
# usage: reproducible.sh SOURCE_DIR BUILD_DIR TOOLCHAIN_FILE PACKAGER_DIR SIGNING_DIR EPOCH
set -euo pipefail
source=${1:?source dir}; build=${2:?build dir}; toolchain=${3:?toolchain}; packager=${4:?packager dir}
signing=${5:?signing dir}; epoch=${6:?epoch}
again="$build/reproduce/a folder elsewhere"
rm -rf "$build/reproduce"
mkdir -p "$build/reproduce"
cmake -S "$source" -B "$again" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
      -DQLR_BUILD_TESTS=OFF -DQLR_BUILD_BENCH=OFF \
      -DQLR_PAYLOAD_FILES="$packager/application" -DQLR_SERVER_FILES="$packager/server" \
      -DQLR_SIGN_PKCS12="$signing/packager.p12" -DQLR_SIGN_PASSWORD_FILE="$signing/password.txt" >"$build/reproduce.log" 2>&1 ||
  { tail -n 40 "$build/reproduce.log"; echo "the second build could not be configured"; exit 1; }
# Half a day from any zone a build machine is likely in (the Line Islands, UTC+14).
TZ=LINT-14 SOURCE_DATE_EPOCH=$epoch cmake --build "$again" --target SetupQLR >"$build/reproduce.log" 2>&1 ||
  { tail -n 40 "$build/reproduce.log"; echo "the second build failed"; exit 1; }
rm -f "$build/reproduce.log"

failures=0
compare() {  # compare NAME FIRST SECOND
  local first_sum second_sum
  first_sum=$(sha256sum "$2" | cut -d' ' -f1)
  second_sum=$(sha256sum "$3" | cut -d' ' -f1)
  if [ "$first_sum" = "$second_sum" ]; then
    echo "same  $first_sum  $1"
  else
    echo "DIFFERENT  $1: $first_sum here, $second_sum in the second build"
    failures=$((failures + 1))
  fi
}
compare SetupQLR.exe "$packager/SetupQLR.exe" "$again/app/SetupQLR.exe"
compare ZIPENG179.DLL "$packager/ZIPENG179.dll" "$again/payload/ZIPENG179.dll"
compare CACFILE.zip "$packager/CACFILE.zip" "$again/payload/CACFILE.zip"
compare FIREBIRD.zip "$packager/FIREBIRD.zip" "$again/payload/FIREBIRD.zip"
[ "$failures" -eq 0 ] && rm -rf "$build/reproduce"
exit "$failures"
