#!/usr/bin/env bash
# Speed of two engine builds side by side: runs them in turn (A B A B ...) so that a drift in the
# machine's speed hits both alike, and prints per figure the median, the range and the ratio of the
# medians (NEW over BASE for rates, so above 1 means NEW is faster), then the median and range of the
# ratios within each run pair.
#   benchsearch   nodes/s of the "bench:" line (node totals must match, or the run stops)
#   bench         perft leaves per second (199230923 leaves / wall seconds)
#   datagen       positions per second of `datagen games=G` at its defaults; the two data files must
#                 be byte-identical, or the run stops
#   startup       wall time of a bare start and quit
#   featureexport wall time over the datagen file
# and, where perf can read them, the instructions and cycles of one benchsearch and one bench each.
# Usage: tools/speedbench/speedbench.sh BASE_BIN NEW_BIN [RUNS] [GAMES]   (defaults 5 and 20)
# HASH=MB in the environment runs benchsearch through the UCI loop with that table size instead of
# the default 64 MB (node totals then differ from the signature, but equally for both builds):
# a table that fits the caches and the TLB shows how much of a difference memory waits hide.
# Long: about RUNS x 2 x (benchsearch + bench + datagen) seconds; run it on a quiet machine.
set -euo pipefail
base=${1:?usage: $0 BASE_BIN NEW_BIN [RUNS] [GAMES]}
new=${2:?usage: $0 BASE_BIN NEW_BIN [RUNS] [GAMES]}
runs=${3:-5}
games=${4:-20}
# The engine rejects a size it cannot take and runs 64 MB instead: stop before that mislabels a run.
if [ -n "${HASH:-}" ] && ! [[ $HASH =~ ^[1-9][0-9]*$ ]]; then
  echo "HASH must be a table size in MB, not '$HASH'" >&2
  exit 2
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Wall seconds of one command (its output to files in $work).
wall() {
  /usr/bin/time -f %e -o "$work/time" "$@" >"$work/out" 2>"$work/err"
  cat "$work/time"
}

# median min max of the numbers given, one decimal-point number each.
stats() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%s %s %s", m, v[1], v[NR] }'
}

# name unit higher(1 = higher is better) then values of A, a lone "--", values of B.
report() {
  local name=$1 unit=$2 higher=$3
  shift 3
  local a=() b=() side=a
  for v in "$@"; do
    if [ "$v" = "--" ]; then side=b; continue; fi
    if [ $side = a ]; then a+=("$v"); else b+=("$v"); fi
  done
  read -r am amin amax <<<"$(stats "${a[@]}")"
  read -r bm bmin bmax <<<"$(stats "${b[@]}")"
  # The ratio within each run pair as well: both builds of a pair ran back to back, so the
  # machine's drift from pair to pair cancels out of it.
  local ratios=() i
  for i in "${!a[@]}"; do
    ratios+=("$(awk -v x="${a[$i]}" -v y="${b[$i]}" -v h="$higher" 'BEGIN {
      printf "%.4f", (x > 0 && y > 0) ? (h ? y / x : x / y) : 1 }')")
  done
  read -r rm rmin rmax <<<"$(stats "${ratios[@]}")"
  awk -v n="$name" -v u="$unit" -v h="$higher" -v am="$am" -v amin="$amin" -v amax="$amax" \
    -v bm="$bm" -v bmin="$bmin" -v bmax="$bmax" -v rm="$rm" -v rmin="$rmin" -v rmax="$rmax" 'BEGIN {
      # A figure below the 10 ms the timer resolves reads 0; its ratio is then reported as 1.
      r = (am > 0 && bm > 0) ? (h ? bm / am : am / bm) : 1
      printf "%-14s %-10s base %12.6g [%.6g-%.6g]  new %12.6g [%.6g-%.6g]  speed-up %.3f, by pairs %.3f [%.3f-%.3f]\n",
             n, u, am, amin, amax, bm, bmin, bmax, r, rm, rmin, rmax }'
}

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "base: $base"
echo "new:  $new"
[ -n "${HASH:-}" ] && echo "benchsearch with Hash $HASH MB"

bs_a=() bs_b=() pf_a=() pf_b=() dg_a=() dg_b=() su_a=() su_b=() fe_a=() fe_b=()
for ((i = 1; i <= runs; i++)); do
  for side in a b; do
    bin=$base
    [ $side = b ] && bin=$new

    if [ -n "${HASH:-}" ]; then
      printf 'setoption name Hash value %s\nbenchsearch\nquit\n' "$HASH" | "$bin" >"$work/bs" 2>&1
    else
      "$bin" benchsearch >"$work/bs" 2>&1
    fi
    nodes=$(awk '/^bench:/ { print $2 }' "$work/bs")
    nps=$(awk '/^bench:/ { print $8 }' "$work/bs")
    [ $side = a ] && base_nodes=$nodes
    if [ "$nodes" != "$base_nodes" ]; then
      echo "benchsearch node totals differ: $base_nodes vs $nodes" >&2
      exit 1
    fi

    t=$(wall "$bin" bench)
    pf=$(awk -v t="$t" 'BEGIN { printf "%.0f", 199230923 / t }')

    t=$(wall "$bin" datagen games="$games" out="$work/data_$side.txt")
    positions=$(sed -n 's/.*, \([0-9]*\) позицій,.*/\1/p' "$work/err" | tail -1)
    dg=$(awk -v p="$positions" -v t="$t" 'BEGIN { printf "%.1f", p / t }')

    su=$(wall sh -c "echo quit | \"$bin\"")
    fe=$(wall "$bin" featureexport "$work/data_$side.txt" "$work/features_$side.txt")

    if [ $side = a ]; then
      bs_a+=("$nps") pf_a+=("$pf") dg_a+=("$dg") su_a+=("$su") fe_a+=("$fe")
    else
      bs_b+=("$nps") pf_b+=("$pf") dg_b+=("$dg") su_b+=("$su") fe_b+=("$fe")
      cmp -s "$work/data_a.txt" "$work/data_b.txt" || { echo "datagen files differ (run $i)" >&2; exit 1; }
      cmp -s "$work/features_a.txt" "$work/features_b.txt" || { echo "feature files differ (run $i)" >&2; exit 1; }
    fi
  done
  echo "run $i/$runs: benchsearch ${bs_a[-1]} / ${bs_b[-1]} nps, bench ${pf_a[-1]} / ${pf_b[-1]} leaves/s," \
    "datagen ${dg_a[-1]} / ${dg_b[-1]} positions/s"
done

echo "benchsearch nodes $base_nodes (equal), datagen and feature files byte-identical"
report benchsearch nodes/s 1 "${bs_a[@]}" -- "${bs_b[@]}"
report bench leaves/s 1 "${pf_a[@]}" -- "${pf_b[@]}"
report datagen pos/s 1 "${dg_a[@]}" -- "${dg_b[@]}"
report startup s 0 "${su_a[@]}" -- "${su_b[@]}"
report featureexport s 0 "${fe_a[@]}" -- "${fe_b[@]}"
# Hardware counters, once per build and benchmark, where the machine exposes them (many virtual
# machines do not; perf then says "not supported" and this says so).
counters() {
  perf stat -x, -e instructions,cycles -o "$work/stat" "$@" >/dev/null 2>&1 || return 0
  awk -F, '$3 == "instructions" || $3 == "cycles" { v = $1 ~ /^[0-9]+$/ ? sprintf("%.4g", $1) : "n/a"
             printf " %s %s", $3, v }' "$work/stat"
}
if command -v perf >/dev/null; then
  for cmd in benchsearch bench; do
    echo "perf stat $cmd: base$(counters "$base" $cmd); new$(counters "$new" $cmd)"
  done
fi
echo "machine load after: $(cut -d' ' -f1-3 /proc/loadavg)"
