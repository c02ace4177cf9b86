#!/bin/sh
# short_run.sh FUZZER SECONDS
# SECONDS 0: runs the target once on each of its kept regression inputs (fuzz/regressions/NAME).
# Otherwise fuzzes for that long from the regression inputs and seeds made of the test archives
# and the shared test data (when it is there), growing a corpus in the current folder.
set -eu
fuzzer=$1
seconds=$2
name=$(basename "$fuzzer")
here=$(cd "$(dirname "$0")" && pwd)
regressions=$here/regressions/$name
mkdir -p "corpus-$name" "seeds-$name"
if [ "$seconds" = 0 ]; then
  exec "$fuzzer" -runs=0 -rss_limit_mb=2048 "$regressions"
fi
testdata=$here/../../shared/testdata
[ -d "$testdata" ] || testdata=
python3 "$here/make_seeds.py" "$name" "seeds-$name" $testdata
[ -d "$regressions" ] || regressions=
dict=
case $name in fuzz_unzexec|fuzz_dir_reader) dict=-dict=$here/zip.dict ;; esac
exec "$fuzzer" -max_total_time="$seconds" -max_len=100000 -rss_limit_mb=2048 -timeout=10 $dict \
  -artifact_prefix="$PWD/crash-$name-" "corpus-$name" "seeds-$name" $regressions
