#!/usr/bin/env bash
# Builds everything (host, host with sanitizers, the Windows product for i686, the same code for
# x86_64, and the fuzz targets with clang) and runs every test this machine can run: host tests
# directly, Windows tests under Wine (GUI ones under Xvfb when no display is set), each fuzz
# target's regression inputs and a short run of it.
# Where the machine runs 32-bit code, the i686 product's Windows tests run, and the x86_64
# build's too. Where it does not, the i686 product is built (its record-layout checks compile)
# and its Windows tests run as the x86_64 build under wine64; the output says so.
# Ends with the line "N passed, N failed".
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"
. "$top/tools/scripts/machine.sh"

"$top/tools/scripts/install-prerequisites.sh" || exit 1

jobs=$(nproc)
# What the i686 build must give where its Windows tests cannot run: the product's own programs,
# and the packager's setup that the reproducible-release check builds again (that check needs no
# Wine, so it runs everywhere).
product_targets=(SetupQLR ZipEng179 qlrzip qlr_packager_setup)
build_presets=(host host-asan windows windows64 fuzz)
if runs_32bit_code; then
  runs32=1
  test_presets=(host host-asan windows windows64 fuzz)
else
  runs32=0
  test_presets=(host host-asan windows:reproducible windows64 fuzz)
fi

stage_times=()
timed() {  # timed LABEL COMMAND...: runs the command and keeps how long it took
  local label=$1 start=$SECONDS
  shift
  "$@"
  local rc=$?
  stage_times+=("$label $((SECONDS - start)) s")
  return "$rc"
}

for preset in "${build_presets[@]}"; do
  echo "== configure and build: $preset"
  cmake --preset "$preset" >/dev/null || exit 1
  if [ "$preset" = windows ] && [ "$runs32" = 0 ]; then
    timed "build $preset (product only)" cmake --build --preset "$preset" -j "$jobs" --target "${product_targets[@]}" || exit 1
  else
    timed "build $preset" cmake --build --preset "$preset" -j "$jobs" || exit 1
  fi
done

# A display for Windows GUI tests.
if [ -z "${DISPLAY:-}" ]; then
  . "$top/tools/scripts/xvfb.sh"
  start_xvfb
  trap stop_xvfb EXIT
fi

passed=0
failed=0
for entry in "${test_presets[@]}"; do
  preset=${entry%%:*}
  label=()
  [ "$entry" != "$preset" ] && label=(-L "${entry#*:}")
  echo "== test: $entry"
  log=$(mktemp)
  start=$SECONDS
  ctest --preset "$preset" -j "$jobs" "${label[@]}" 2>&1 | tee "$log"
  stage_times+=("test $entry $((SECONDS - start)) s")
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
    passed=$((passed + t - f))
    failed=$((failed + f))
  elif ! grep -q 'No tests were found' "$log"; then
    failed=$((failed + 1))
  fi
  rm -f "$log"
done

echo "== times"
printf '  %s\n' "${stage_times[@]}"
if [ "$runs32" = 0 ]; then
  echo "This machine runs no 32-bit code: the Windows tests ran as the x86_64 build (windows64) under wine64; the i686 product was built and checked to build again to the same bytes, not run."
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
