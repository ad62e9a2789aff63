#!/usr/bin/env bash
# The manager's own cost and the scaling of -concurrency, measured on a short match of the engine
# against itself at fixed nodes:
#   tools/match/overhead.sh MATCH ENGINE [GAMES] [NODES] [OPENINGS]
# For -concurrency 1 and 2 it prints the wall time, games per hour, the CPU time of everything
# as /usr/bin/time reports it (the manager and its reaped engines together) and the manager's own
# share, which the manager measures itself (getrusage of itself and of its children).
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 MATCH ENGINE [GAMES] [NODES] [OPENINGS]" >&2; exit 1; }
match=$1 engine=$2 games=${3:-40} nodes=${4:-5000}
openings=${5:-$(cd "$(dirname "$0")/../.." && pwd)/params/openings.epd}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for c in 1 2; do
  /usr/bin/time -f '%e %U %S' -o "$out/time" "$match" -engine cmd="$engine" name=a -engine cmd="$engine" name=b \
    -each nodes="$nodes" option.Hash=16 -openings file="$openings" format=epd order=random -games "$games" \
    -concurrency "$c" -ratinginterval 0 >"$out/report" 2>&1 || { cat "$out/report"; exit 1; }
  read -r wall user sys <"$out/time"
  cpu=$(grep '^CPU time:' "$out/report")
  awk -v c="$c" -v g="$games" -v w="$wall" -v u="$user" -v s="$sys" -v cpu="$cpu" 'BEGIN {
    printf "concurrency %d: %d games in %.1f s = %.0f games/hour; /usr/bin/time: %.2f s CPU (user %.2f, system %.2f)\n  %s\n",
      c, g, w, g * 3600 / w, u + s, u, s, cpu }'
done
