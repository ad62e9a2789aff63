#!/usr/bin/env bash
# Speed and memory of quorvane-tune: repeats a real feature export up to POSITIONS lines (default one
# million), then runs EPOCHS epochs (default 3) with 1 and with 2 threads and reports the mean time
# per epoch and the peak resident memory. The machine load is printed first: on a shared machine the
# figures mean little without it.
# Usage: tools/tune/bench.sh BUILD_DIR [POSITIONS] [EPOCHS]
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR [POSITIONS] [EPOCHS]}
positions=${2:-1000000}
epochs=${3:-3}
engine=$build/quorvane
tuner=$build/tools/tune/quorvane-tune
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$engine" datagen games=200 nodes=2000 maxdepth=8 out="$work/games.txt" 2>/dev/null
"$engine" featureexport "$work/games.txt" "$work/one.txt" 2>/dev/null
awk -v n="$positions" '{ line[NR] = $0 } END { for (i = 0; i < n; i++) print line[i % NR + 1] }' \
  "$work/one.txt" >"$work/features.txt"
echo "positions: $positions ($(wc -l <"$work/one.txt") distinct), file $(du -h "$work/features.txt" | cut -f1)"
echo "load before: $(uptime)"
for threads in 1 2; do
  /usr/bin/time -v "$tuner" --epochs "$epochs" --threads "$threads" --out /dev/null "$work/features.txt" \
    2>"$work/log"
  per_epoch=$(awk '/^epoch / { for (i = 1; i <= NF; i++) if ($i == "epoch" && $(i + 1) ~ /s$/) { sub("s", "", $(i + 1)); t += $(i + 1); n++ } }
                   END { if (n) printf "%.3f", t / n }' "$work/log")
  read_time=$(sed -n 's/.*read in \([0-9.]*\) s$/\1/p' "$work/log")
  bytes=$(sed -n 's/.*MB (\([0-9.]*\) bytes per position).*/\1/p' "$work/log")
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/log")
  wall=$(sed -n 's/.*Elapsed (wall clock) time.*: //p' "$work/log")
  echo "threads $threads: ${per_epoch} s/epoch (mean of $epochs), read ${read_time} s, ${bytes} bytes/position," \
    "max RSS $((rss / 1024)) MB, wall $wall"
done
echo "load after: $(uptime)"
