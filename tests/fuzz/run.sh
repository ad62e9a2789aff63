#!/usr/bin/env bash
# Runs the fuzz targets of a -DQUORVANE_FUZZ=ON build, each from its seed inputs (corpus/<target>,
# never written to) plus a working corpus of its own under WORK_DIR, and stops at the first target
# that finds a crash, a leak or a timeout; the input that did it is kept as WORK_DIR/<target>-*.
#
#   tests/fuzz/run.sh BUILD_DIR WORK_DIR [LIBFUZZER_FLAG...] [TARGET...]
#
# The flags set the budget: -max_total_time=SECONDS, -runs=N, or both (whichever ends first).
# Without targets, all of them run.
set -euo pipefail

build=$1
work=$2
shift 2
flags=()
targets=()
for a in "$@"; do
  case $a in
    -*) flags+=("$a") ;;
    *) targets+=("$a") ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=(fen uci_move uci data_line datagen_args feature_line param_listing)
seeds=$(cd "$(dirname "$0")" && pwd)/corpus

for t in "${targets[@]}"; do
  mkdir -p "$work/$t"
  log="$work/$t.log"
  start=$(date +%s)
  if ! "$build/tests/fuzz/fuzz_$t" "${flags[@]}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$work/$t-" "$work/$t" "$seeds/$t" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz_$t: FAILED (the input is kept as $work/$t-*, the log as $log)"
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "fuzz_$t: $runs runs in $(( $(date +%s) - start )) s, corpus of $(ls "$work/$t" | wc -l) inputs, no crash, leak or timeout"
done
