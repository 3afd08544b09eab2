#!/usr/bin/env bash
# Runs every fuzz target for the given number of seconds (default 60), both at
# once, from the checked-in corpus; new inputs go to a scratch corpus under
# build/fuzz/work, never into the checked-in one. Prints the executions per
# target; fails when a target finds a crash, with the input left at
# build/fuzz/artifacts/<target>-crash-... (add it to fuzz/corpus/<target>/ once
# fixed). Needs the fuzz preset built.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
targets=(fuzz_profile_reader fuzz_install_list)
mkdir -p build/fuzz/artifacts
pids=()
for target in "${targets[@]}"; do
  mkdir -p "build/fuzz/work/$target"
  build/fuzz/fuzz/$target -max_total_time="$seconds" -max_len=16384 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="build/fuzz/artifacts/$target-" \
    "build/fuzz/work/$target" "fuzz/corpus/$target" >"build/fuzz/$target.log" 2>&1 &
  pids+=($!)
done
status=0
for i in "${!targets[@]}"; do
  target=${targets[$i]}
  if wait "${pids[$i]}"; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "build/fuzz/$target.log")
    echo "fuzz: $target: ${runs:-?} executions in $seconds s, no crash"
  else
    echo "fuzz: $target FAILED; the end of its log:"
    tail -40 "build/fuzz/$target.log"
    status=1
  fi
done
exit $status
