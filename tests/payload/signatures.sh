#!/usr/bin/env bash
# The packager's signed setup: the setup and the engine library it carries are signed with
# Authenticode, SHA-256, and verify against the certificate; a release configured with a wrong
# password or a missing PKCS#12 file stops with a message that names the file.
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

# configure_fails NAME EXPECTED_TEXT CMAKE_ARGS...: the configuration stops, saying EXPECTED_TEXT.
configure_fails() {
  local name=$1 expected=$2 scratch="$build/signing-check"
  shift 2
  rm -rf "$scratch"
  local out
  if out=$(cmake -S "$source" -B "$scratch" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQLR_BUILD_TESTS=OFF "$@" 2>&1); then
    fail "$name: the configuration went on"
  elif ! grep -qF "$expected" <<<"$(tr -s ' \n' ' ' <<<"$out")"; then
    fail "$name: no message naming the file:"; echo "$out" | tail -n 8
  else
    echo "ok   $name: $expected"
  fi
  rm -rf "$scratch"
}
configure_fails "wrong password" "the password in $signing/wrong-password.txt does not open $signing/packager.p12" \
  -DQLR_SIGN_PKCS12="$signing/packager.p12" -DQLR_SIGN_PASSWORD_FILE="$signing/wrong-password.txt"
configure_fails "missing certificate" "the PKCS#12 file $signing/missing.p12 does not exist" \
  -DQLR_SIGN_PKCS12="$signing/missing.p12" -DQLR_SIGN_PASSWORD_FILE="$signing/password.txt"
configure_fails "missing password file" "the password file $signing/missing.txt does not exist" \
  -DQLR_SIGN_PKCS12="$signing/packager.p12" -DQLR_SIGN_PASSWORD_FILE="$signing/missing.txt"
exit "$failures"
