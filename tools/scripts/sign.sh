#!/usr/bin/env bash
# Signs a Windows program or library with Authenticode (SHA-256), for the build.
# usage: sign.sh PKCS12 PASSWORD_FILE TIMESTAMP_URL|- IN OUT
# The password is read from its file, never taken on a command line. The signing time is
# SOURCE_DATE_EPOCH when the build's environment sets one: with an RSA key and no timestamp
# server, the same input then gives the same signed bytes.
set -uo pipefail
pkcs12=${1:?pkcs12}; password_file=${2:?password file}; timestamp_url=${3:?timestamp url or -}; in=${4:?in}; out=${5:?out}
options=(-pkcs12 "$pkcs12" -readpass "$password_file" -h sha256 -n "Quenlar Accounting")
[ "$timestamp_url" != - ] && options+=(-ts "$timestamp_url")
[ -n "${SOURCE_DATE_EPOCH:-}" ] && options+=(-time "$SOURCE_DATE_EPOCH")
log=$(mktemp)
trap 'rm -f "$log" "$out.signing"' EXIT
rm -f "$out.signing"
if ! osslsigncode sign "${options[@]}" -in "$in" -out "$out.signing" >"$log" 2>&1; then
  echo "sign.sh: cannot sign $in with $pkcs12 (is the password in $password_file right?):" >&2
  cat "$log" >&2
  exit 1
fi
mv -f "$out.signing" "$out"
