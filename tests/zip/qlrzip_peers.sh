#!/bin/sh
# qlrzip against Info-ZIP unzip: archives made here by Info-ZIP zip, 7-Zip and bsdtar, and the
# third-party vectors beside the project, must extract to the same trees and agree on success.
# usage: qlrzip_peers.sh TESTDATA_DIR QLRZIP_COMMAND...
# (the Windows build's command is the build folder's wine-run with qlrzip.exe)
set -u
TESTDATA=$1
shift
for tool in unzip zip 7z bsdtar; do
  command -v $tool >/dev/null || { echo "SKIP: $tool not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# A tree with text, binary, empty and nested files.
src=$work/src
mkdir -p "$src/Firebird-2.5.7.2/bin" "$src/MauBC" "$src/empty dir"
seq 1 20000 > "$src/numbers.txt"
awk 'BEGIN { for (i = 0; i < 70000; i++) printf "%c", (i * 7919) % 251 }' > "$src/Firebird-2.5.7.2/bin/fbserver.exe"
: > "$src/MauBC/empty.rpt"
printf 'line one\r\nline two\r\n' > "$src/Firebird-2.5.7.2/install_super.bat"
cp "$src/numbers.txt" "$src/MauBC/B01-DN.rpt"

archives=$work/archives
mkdir -p "$archives"
(cd "$src" && zip -q -r "$archives/infozip.zip" . && zip -q -r -0 "$archives/infozip-stored.zip" . &&
  zip -q -r -P pw123 "$archives/infozip-encrypted.zip" . &&
  7z a -tzip -bd "$archives/7z.zip" . >/dev/null && 7z a -tzip -bd -ppw123 -mem=ZipCrypto "$archives/7z-encrypted.zip" . >/dev/null &&
  bsdtar --format zip -cf "$archives/bsdtar.zip" .)
for f in "$TESTDATA"/third_party/*.zip "$TESTDATA"/third_party/test_read_format_zip_sfx "$TESTDATA"/generated/*.zip; do
  [ -f "$f" ] && cp "$f" "$archives/"
done

# Passwords of the vectors that have one.
password_of() {
  case $(basename "$1") in
    *encrypted.zip) echo pw123 ;;
    test_read_format_zip_traditional_encryption_data.zip | test_read_format_zip_encryption*) echo 12345678 ;;
    gen_zipcrypto_legacy_methods.zip) echo pkzip110 ;;
    gen_zipcrypto_no_descriptor_7z.zip) echo secret ;;
    *) echo "" ;;
  esac
}

for a in "$archives"/*; do
  name=$(basename "$a")
  pw=$(password_of "$a")
  mkdir -p "$work/u/$name" "$work/q/$name"
  if [ -n "$pw" ]; then
    unzip -qq -o -P "$pw" "$a" -d "$work/u/$name" >/dev/null 2>&1; u=$?
    "$@" extract "$a" -d "$work/q/$name" -o -p "$pw" </dev/null >/dev/null 2>&1; q=$?
  else
    unzip -qq -o "$a" -d "$work/u/$name" >/dev/null 2>&1; u=$?
    "$@" extract "$a" -d "$work/q/$name" -o </dev/null >/dev/null 2>&1; q=$?
  fi
  # unzip: 0 ok, 1 warnings (still extracted whole); anything else is a failure.
  [ $u -le 1 ] && u_ok=yes || u_ok=no
  [ $q -eq 0 ] && q_ok=yes || q_ok=no
  case $name in
    # Known disagreements (see the vectors' README): the reference decodes these wrongly or
    # says OK to a stream longer than declared; and where a stored entry's sizes disagree (one of
    # them a Zip64 size), unzip writes it with a warning while the engine refuses the entry.
    gen_shrink_early_clears.zip | test_read_format_zip_size_exceeds_declared_deflate.zip) continue ;;
    test_read_format_zip_size_exceeds_declared_stored.zip | test_read_format_zip_uncompressed_size_off_by_4gib.zip)
      [ $q -eq 1 ] && echo "ok   $name (entry refused, as intended)" && continue ;;
  esac
  if [ "$u_ok" != "$q_ok" ]; then
    echo "FAIL $name: unzip status $u, qlrzip status $q"
    failures=$((failures + 1))
  elif [ "$u_ok" = yes ] && ! diff -r "$work/u/$name" "$work/q/$name" >/dev/null; then
    echo "FAIL $name: trees differ"
    diff -rq "$work/u/$name" "$work/q/$name" | head -5
    failures=$((failures + 1))
  else
    echo "ok   $name ($q_ok)"
  fi
  # The listing names the same entries as unzip's (folder entries aside), and its totals line
  # (after the dashes) gives the same total size as unzip -l's.
  if [ "$u_ok" = yes ]; then
    "$@" list "$a" 2>/dev/null </dev/null | tr -d '\r' > "$work/qlist"
    awk '/^---------- / { exit } { $1=$2=$3=$4=$5=$6=$7=""; sub(/^ +/, ""); print }' "$work/qlist" | tr '\\' '/' | sort > "$work/ql"
    unzip -Z1 "$a" 2>/dev/null | grep -v '/$' | sort > "$work/ul"
    q_total=$(awk 'done { print $1; exit } /^---------- / { done = 1 }' "$work/qlist")
    u_total=$(unzip -l "$a" 2>/dev/null | tail -n 1 | awk '{ print $1 }')
    if ! cmp -s "$work/ql" "$work/ul"; then
      echo "FAIL $name: listings differ"
      failures=$((failures + 1))
    elif [ "$q_total" != "$u_total" ]; then
      echo "FAIL $name: total size $q_total, unzip says $u_total"
      failures=$((failures + 1))
    fi
  fi
done
[ $failures -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
