#!/usr/bin/env bash
# The packager's signed setup: the setup and the engine library it carries are signed with
# Authenticode, SHA-256, and verify against the certificate; a release configured with a wrong
# password or a missing PKCS#12 file stops with a message that names the file. A PKCS#12 file as
# older tools export it (RC2-40, which OpenSSL 3 opens only with its legacy provider) is taken
# and signs.
# usage: signatures.sh SOURCE_DIR BUILD_DIR TOOLCHAIN_FILE SIGNING_DIR SETUP.exe ENGINE.dll
set -uo pipefail
source=${1:?source}; build=${2:?build}; toolchain=${3:?toolchain}; signing=${4:?signing dir}
setup=${5:?setup}; engine=${6:?engine}
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

for signed in "$setup" "$engine"; do
  out=$(osslsigncode verify -CAfile "$signing/packager.pem" -in "$signed" 2>&1)
  if ! grep -q '^Signature verification: ok' <<<"$out"; then
    fail "$signed does not verify:"; echo "$out" | tail -n 5
  elif ! grep -q 'Message digest algorithm *: SHA256' <<<"$out"; then
    fail "$signed is not signed with SHA-256"
  else
    echo "ok   $(basename "$signed") verifies"
  fi
done

# configures NAME stops|goes-on EXPECTED_TEXT CMAKE_ARGS...: the configuration stops or goes on,
# saying EXPECTED_TEXT.
configures() {
  local name=$1 outcome=$2 expected=$3 scratch="$build/signing-check"
  shift 3
  rm -rf "$scratch"
  local out went_on=stops
  out=$(cmake -S "$source" -B "$scratch" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQLR_BUILD_TESTS=OFF "$@" 2>&1) &&
    went_on=goes-on
  if [ "$went_on" != "$outcome" ]; then
    fail "$name: the configuration $went_on:"; echo "$out" | grep -i signing | tail -n 4
  elif ! grep -qF "$expected" <<<"$(tr -s ' \n' ' ' <<<"$out")"; then
    fail "$name: no message naming the file:"; echo "$out" | tail -n 8
  else
    echo "ok   $name: $expected"
  fi
  rm -rf "$scratch"
}
configure_fails() { configures "$1" stops "${@:2}"; }
configure_fails "wrong password" "the password in $signing/wrong-password.txt does not open $signing/packager.p12" \
  -DQLR_SIGN_PKCS12="$signing/packager.p12" -DQLR_SIGN_PASSWORD_FILE="$signing/wrong-password.txt"
configure_fails "missing certificate" "the PKCS#12 file $signing/missing.p12 does not exist" \
  -DQLR_SIGN_PKCS12="$signing/missing.p12" -DQLR_SIGN_PASSWORD_FILE="$signing/password.txt"
configure_fails "missing password file" "the password file $signing/missing.txt does not exist" \
  -DQLR_SIGN_PKCS12="$signing/packager.p12" -DQLR_SIGN_PASSWORD_FILE="$signing/missing.txt"
configures "an RC2-40 certificate" goes-on "are signed with $signing/packager-rc2.p12" \
  -DQLR_SIGN_PKCS12="$signing/packager-rc2.p12" -DQLR_SIGN_PASSWORD_FILE="$signing/password.txt"
configure_fails "wrong password, RC2-40" "the password in $signing/wrong-password.txt does not open $signing/packager-rc2.p12" \
  -DQLR_SIGN_PKCS12="$signing/packager-rc2.p12" -DQLR_SIGN_PASSWORD_FILE="$signing/wrong-password.txt"
rc2_signed="$build/signing-check-rc2.dll"
if ! osslsigncode remove-signature -in "$engine" -out "$rc2_signed.unsigned" >/dev/null ||
   ! bash "$source/tools/scripts/sign.sh" "$signing/packager-rc2.p12" "$signing/password.txt" - "$rc2_signed.unsigned" "$rc2_signed" ||
   ! osslsigncode verify -CAfile "$signing/packager.pem" -in "$rc2_signed" 2>&1 | grep -q '^Signature verification: ok'; then
  fail "the RC2-40 certificate does not sign"
else
  echo "ok   the RC2-40 certificate signs"
fi
rm -f "$rc2_signed" "$rc2_signed.unsigned"
exit "$failures"
