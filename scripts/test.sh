#!/usr/bin/env bash
# Builds everything and runs every test: the host tests on the simulated
# Windows, the same tests under AddressSanitizer and UndefinedBehaviorSanitizer,
# the fuzz targets over their corpus and for a minute each, then the end-to-end
# tests of both Windows builds under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

for preset in host host-asan fuzz windows-x86 windows-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

status=0
for preset in host host-asan fuzz; do
  echo "== tests: $preset"
  ctest --preset "$preset" || status=1
done
echo "== fuzzing: each target for ${INSTALLSEQ_FUZZ_SECONDS:-60} s"
fuzz/run_fuzzers.sh "${INSTALLSEQ_FUZZ_SECONDS:-60}" || status=1
for preset in windows-x86 windows-x64; do
  echo "== tests: $preset"
  ctest --preset "$preset" || status=1
done
exit $status
