#!/usr/bin/env bash
# Builds everything and runs every test this machine can run, stage by stage:
#   host        the host build's tests over the simulated Windows
#   host-asan   the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   windows     the i686 product's Windows tests under wine32, the WOW64 scenario (the i686 setup
#               in a 64-bit prefix) among them; where the machine runs no 32-bit code, only its
#               reproducible-release checks run here (they need no Wine) and the rest in the stage
#   windows-guest  an emulated guest that runs 32-bit code (tools/vm32; tools/scripts/test-guest.sh)
#   windows64   the same code built for x86_64, under wine64
#   fuzz        each fuzz target's kept inputs replayed and a short run of it
# Each stage ends with a line naming the build, where it ran and its counts; the last line is
# "N passed, N failed, N skipped". Skipped tests are not counted as passed, and a stage that
# finds no test fails.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"
. "$top/tools/scripts/machine.sh"

"$top/tools/scripts/install-prerequisites.sh" || exit 1

jobs=$(nproc)
passed=0 failed=0 skipped=0
stage_lines=() stage_times=()

timed() {  # timed LABEL COMMAND...: runs the command and keeps how long it took
  local label=$1 start=$SECONDS
  shift
  "$@"
  local rc=$?
  stage_times+=("$label $((SECONDS - start)) s")
  return "$rc"
}

# count_stage NAME LOG: adds the counts of ctest's output in LOG and keeps the stage's line.
count_stage() {
  local name=$1 log=$2 line t f s p
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    # No summary: no test found, or the run never got that far. Either way the stage failed.
    stage_lines+=("$name: no test ran (failed)")
    failed=$((failed + 1))
    return
  fi
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
  s=$(grep -c -E '^[[:space:]]*[0-9]+ - .* \((Skipped|Disabled)\)[[:space:]]*$' "$log")
  p=$((t - f - s))
  passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
  stage_lines+=("$name: $p passed, $f failed, $s skipped")
}

# test_stage NAME WHERE PRESET [CTEST ARGS...]
test_stage() {
  local name=$1 where=$2 preset=$3
  shift 3
  logged_stage "$name" "$where" ctest --preset "$preset" -j "$jobs" "$@"
}

# logged_stage NAME WHERE COMMAND...: runs a stage whose output is ctest's, shown and counted.
logged_stage() {
  local name=$1 where=$2 log start=$SECONDS
  shift 2
  echo "== test: $name ($where)"
  log=$(mktemp)
  "$@" 2>&1 | tee "$log"
  stage_times+=("test $name $((SECONDS - start)) s")
  count_stage "$name ($where)" "$log"
  rm -f "$log"
}

build() {  # build PRESET [TARGETS...]
  local preset=$1
  shift
  echo "== configure and build: $preset"
  cmake --preset "$preset" >/dev/null || exit 1
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  timed "build $preset" cmake --build --preset "$preset" -j "$jobs" "${targets[@]}" || exit 1
}

if i686_tests_in_guest; then in_guest=1; else in_guest=0; fi

build host
build host-asan
build windows
build windows64
build fuzz

# A display for Windows GUI tests.
if [ -z "${DISPLAY:-}" ]; then
  . "$top/tools/scripts/xvfb.sh"
  start_xvfb
  trap stop_xvfb EXIT
fi

test_stage host native host
test_stage host-asan native host-asan
if [ "$in_guest" = 0 ]; then
  test_stage "windows i686" "native, wine32 and WOW64" windows
else
  test_stage "windows i686 reproducible" "native, no Wine" windows -L reproducible
  logged_stage "windows i686" "emulated guest, wine32 and WOW64" "$top/tools/scripts/test-guest.sh" "$top/build/windows"
fi
test_stage "windows x86_64" "native, wine64" windows64
test_stage fuzz native fuzz

echo "== times"
printf '  %s\n' "${stage_times[@]}"
echo "== stages"
printf '  %s\n' "${stage_lines[@]}"
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
