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
    # The totals count the files listed and, apart, the folder entries, as unzip -Z1 names them.
    q_counts=$(awk 'done { $1 = $2 = ""; sub(/^ +/, ""); print; exit } /^---------- / { done = 1 }' "$work/qlist")
    u_files=$(unzip -Z1 "$a" 2>/dev/null | grep -vc '/$')
    u_folders=$(unzip -Z1 "$a" 2>/dev/null | grep -c '/$')
    u_counts="$u_files file$([ "$u_files" = 1 ] || echo s), $u_folders folder$([ "$u_folders" = 1 ] || echo s)"
    if ! cmp -s "$work/ql" "$work/ul"; then
      echo "FAIL $name: listings differ"
      failures=$((failures + 1))
    elif [ "$q_total" != "$u_total" ]; then
      echo "FAIL $name: total size $q_total, unzip says $u_total"
      failures=$((failures + 1))
    elif [ "$q_counts" != "$u_counts" ]; then
      echo "FAIL $name: totals count \"$q_counts\", unzip names $u_counts"
      failures=$((failures + 1))
    fi
  fi
done
# Vietnamese names, typed and read on a UTF-8 terminal (under Wine the command line reaches the
# tool as UTF-16): two flagged as UTF-8, as Python's zipfile writes them, and one in the archive's
# code page (CP437 from an MS-DOS host). Every name shows with its real letters, and a name typed
# with them selects its entry alone.
export LC_ALL=C.UTF-8
python3 - "$work/names.zip" <<'EOF'
import sys, zipfile
class CodePageName(zipfile.ZipInfo):
    def _encodeFilenameFlags(self):  # the name in CP437, bit 11 clear
        return self.filename.encode('cp437'), self.flag_bits
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    z.writestr(zipfile.ZipInfo('Sổ cái.txt', (2025, 1, 2, 3, 4, 0)), 'sổ cái\n')
    # The code page lacks only the "ổ": both names are listed to it alike, "S? cái.txt".
    z.writestr(zipfile.ZipInfo('Sa cái.txt', (2025, 1, 2, 3, 4, 0)), 'sa cái\n')
    z.writestr(zipfile.ZipInfo('Báo cáo/', (2025, 1, 2, 3, 4, 0)), '')
    z.writestr(zipfile.ZipInfo('Báo cáo/Tháng 1.txt', (2025, 1, 2, 3, 4, 0)), 'tháng một\n')
    dos = CodePageName('Chi phí.txt', (2025, 1, 2, 3, 4, 0))
    dos.create_system = 0
    z.writestr(dos, 'chi phí\n')
EOF
# The tool's command as one program, for the functions below.
tool=$work/qlrzip
{ echo '#!/bin/sh'; printf 'exec'; for word in "$@"; do printf " '%s'" "$word"; done; echo ' "$@"'; } > "$tool"
chmod +x "$tool"
# says WHAT PATTERN ARGS...: a line that the tool writes (either stream) matches PATTERN.
says() {
  what=$1 pattern=$2
  shift 2
  out=$(cd "$work" && "$tool" "$@" 2>&1 </dev/null | tr -d '\r')
  if printf '%s\n' "$out" | grep -qE -- "$pattern"; then
    echo "ok   names: $what"
  else
    echo "FAIL names: $what: no line like '$pattern' in:"
    printf '%s\n' "$out" | head -n 8
    failures=$((failures + 1))
  fi
}
# extracts WHAT FILES SPEC...: extracting the SPECs writes exactly FILES (sorted, one a line).
extracts() {
  what=$1 files=$2
  shift 2
  rm -rf "$work/n"
  mkdir -p "$work/n"
  (cd "$work" && "$tool" extract names.zip -d n "$@" </dev/null >/dev/null 2>&1)
  got=$(cd "$work/n" && find . -type f | sed 's|^\./||' | sort)
  if [ "$got" = "$files" ]; then
    echo "ok   names: $what"
  else
    echo "FAIL names: $what: extracted [$got]"
    failures=$((failures + 1))
  fi
}
says "list shows a flagged name" '^ +10 +10 Stored +- D44317CB 2025-01-02 03:04 Sổ cái\.txt$' list names.zip
says "list shows a flagged name in a folder" ' Báo cáo\\Tháng 1\.txt$' list names.zip
says "list shows a code-page name" ' Chi phí\.txt$' list names.zip
says "list counts files and folders" ' 4 files, 1 folder$' list names.zip
says "test names a flagged entry" '^Tested +file Sổ cái\.txt of size 10$' test names.zip
says "test names a code-page entry" '^Tested +file Chi phí\.txt of size 9$' test names.zip
says "test checks every entry" '^names\.zip: 5 entries tested, no errors$' test names.zip
says "cat selects a flagged name" '^sổ cái$' cat names.zip 'Sổ cái.txt'
says "cat selects a flagged name beside one listed alike" '^sa cái$' cat names.zip 'Sa cái.txt'
says "cat selects a flagged name in a folder" '^tháng một$' cat names.zip 'Báo cáo/Tháng 1.txt'
says "cat selects a code-page name" '^chi phí$' cat names.zip 'Chi phí.txt'
says "cat of a name that no entry has" '^qlrzip: names\.zip: no entry Sổ x\.txt$' cat names.zip 'Sổ x.txt'
says "extract names what it writes" '^Unzipped file Sổ cái\.txt of size 10$' extract names.zip -d n -o 'Sổ cái.txt'
extracts "extract selects a flagged name alone" 'Sổ cái.txt' 'Sổ cái.txt'
extracts "extract selects a flagged name in a folder alone" 'Báo cáo/Tháng 1.txt' 'Báo cáo/Tháng 1.txt'
extracts "extract keeps \"*\" and \"?\" beside real letters" 'Sổ cái.txt' '*ổ c?i.*'
extracts "extract keeps \"*\" and \"?\" alone" "$(printf 'Báo cáo/Tháng 1.txt\nSa cái.txt\nSổ cái.txt')" '*/*.txt' 'S? c*'
# The code-page name alone (written on the host under the code page's bytes, as the engine's host
# layer names files; under its real name on Windows).
rm -rf "$work/n"
(cd "$work" && "$tool" extract names.zip -d n 'Chi phí.txt' </dev/null >/dev/null 2>&1)
if [ "$(find "$work/n" -type f | wc -l)" -eq 1 ] && [ "$(cat "$work"/n/Chi*)" = "chi phí" ]; then
  echo "ok   names: extract selects a code-page name alone"
else
  echo "FAIL names: extract selects a code-page name alone: $(cd "$work/n" && find . -type f)"
  failures=$((failures + 1))
fi
case $* in
  *.exe*)  # Windows takes a password in its code page: a letter the page lacks is refused, never replaced
    says "a password outside the code page is refused" "lacks; no archive's password can hold it$" \
      test names.zip -p 'mật khẩu' ;;
esac

[ $failures -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
