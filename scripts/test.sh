#!/usr/bin/env bash
# Builds everything and runs every test: the host tests on the simulated
# Windows, then the end-to-end tests of both Windows builds under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

for preset in host windows-x86 windows-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

status=0
for preset in host windows-x86 windows-x64; do
  echo "== tests: $preset"
  ctest --preset "$preset" || status=1
done
exit $status
