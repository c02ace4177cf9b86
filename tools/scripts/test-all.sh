#!/usr/bin/env bash
# Builds everything (host, host with sanitizers, Windows, and the fuzz targets with clang) and
# runs every test: host tests directly, Windows tests under Wine, GUI tests under Xvfb when no
# display is set, each fuzz target's regression inputs and a short run of it.
# Ends with the line "N passed, N failed".
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"

"$top/tools/scripts/install-prerequisites.sh" || exit 1

jobs=$(nproc)
presets=(host host-asan windows fuzz)
for preset in "${presets[@]}"; do
  echo "== configure and build: $preset"
  cmake --preset "$preset" >/dev/null || exit 1
  cmake --build --preset "$preset" -j "$jobs" || exit 1
done

# A display for Windows GUI tests.
if [ -z "${DISPLAY:-}" ]; then
  . "$top/tools/scripts/xvfb.sh"
  start_xvfb
  trap stop_xvfb EXIT
fi

passed=0
failed=0
for preset in "${presets[@]}"; do
  echo "== test: $preset"
  log=$(mktemp)
  ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log"
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

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
