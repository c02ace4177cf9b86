#!/usr/bin/env bash
# A throwaway code-signing certificate for the tests: FOLDER/packager.p12 (RSA, so that a signature
# is a function of what is signed and when), its password in FOLDER/password.txt, the certificate
# alone in FOLDER/packager.pem (to verify against), a wrong password in FOLDER/wrong-password.txt, and
# the key again in FOLDER/packager-rc2.p12 as older tools export it.
set -euo pipefail
folder=${1:?folder}
mkdir -p "$folder"
cd "$folder"
printf 'mật khẩu thử %s\n' "$RANDOM$RANDOM" >password.txt
echo "not the password" >wrong-password.txt
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out packager.pem -days 3650 \
        -subj "/CN=Quenlar test packager/O=QuenlarVN" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
openssl pkcs12 -export -in packager.pem -inkey key.pem -out packager.p12 -passout file:password.txt
# The same key as older tools export it by default (RC2-40), which OpenSSL 3 opens only with -legacy.
openssl pkcs12 -export -legacy -certpbe PBE-SHA1-RC2-40 -keypbe PBE-SHA1-3DES -in packager.pem -inkey key.pem \
        -out packager-rc2.p12 -passout file:password.txt
rm -f key.pem
