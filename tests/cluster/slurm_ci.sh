#!/usr/bin/env bash
# The batch scripts of tools/cluster on a real Slurm: a one-node cluster on this machine
# (one_node_slurm.sh: munged, slurmctld and slurmd started here, with their configuration, state and
# logs in a temporary folder, and stopped by their PIDs on exit), then
#   (a) a datagen array whose merged file is byte for byte the file of one datagen run;
#   (b) a match array of 2 shards whose merged counts and LLR are those of the same match in one run;
#   (c) an array with one task cancelled: the merge refuses and names it, resubmitting that index
#       alone completes the same file; a shard damaged afterwards is refused too.
# Usage: tests/cluster/slurm_ci.sh BUILD_DIR   (as root, with slurm-wlm and munge installed)
set -euo pipefail

die() {
  echo "slurm_ci: $*" >&2
  exit 1
}
[ $# -eq 1 ] || die "usage: $0 BUILD_DIR"
build=$(cd "$1" && pwd)
engine=$build/quorvane
[ -x "$engine" ] || die "no engine at $engine"
source=$(cd "$(dirname "$0")/../.." && pwd)
tools=$source/tools/cluster
started=$SECONDS

if [ -z "${QUORVANE_SLURM_UP:-}" ]; then
  QUORVANE_SLURM_UP=1 exec "$(dirname "$0")/one_node_slurm.sh" "$0" "$@"
fi
tmp=$(mktemp -d /tmp/quorvane-slurm-ci.XXXXXX)
trap 'rm -rf "$tmp"' EXIT

# The scripts' settings, as a user exports them.
export QUORVANE=$engine SHARDS=4 GAMES=3 SEED=1 SETTINGS="nodes=400 progress=100"
one_run=$tmp/one-run.txt
"$engine" datagen games=$((SHARDS * GAMES)) seed=1 nodes=400 progress=100 out="$one_run" 2>/dev/null

# submit_datagen RUN [SBATCH OPTIONS...]: the array and its merge, as the README submits them;
# waits for the merge and prints the array's job id.
submit_datagen() {
  local run=$1
  shift
  mkdir -p "$run/logs"
  RUN=$run sbatch --parsable "$@" -o "$run/logs/%x-%a.out" "$tools/datagen.sbatch"
}
merge_datagen() {
  local run=$1 after=$2
  RUN=$run sbatch --wait --quiet --dependency=afterany:"$after" --kill-on-invalid-dep=yes \
    -o "$run/logs/%x.out" "$tools/datagen-merge.sbatch"
}

echo "== (a) datagen: $SHARDS tasks of $GAMES games, merged = one run of $((SHARDS * GAMES)) games"
run=$tmp/a
array=$(submit_datagen "$run" --array=0-$((SHARDS - 1)) --cpus-per-task=1)
merge_datagen "$run" "$array" || die "(a) the merge failed: $(cat "$run/logs/"*merge*.out)"
cmp "$run/data.txt" "$one_run" || die "(a) the merged file differs from one datagen run"
(cd "$run" && sha256sum --quiet -c data.txt.sha256) || die "(a) data.txt.sha256 does not match"
echo "(a) ok: $(wc -l <"$run/data.txt") lines, $(cut -d' ' -f1 "$run/data.txt.sha256")"

echo "== (b) match: 2 shards at fixed nodes, merged counts = the same match in one run"
run=$tmp/b
mkdir -p "$run/logs"
matcher=$build/tools/match/quorvane-match
[ -x "$matcher" ] || die "no quorvane-match at $matcher"
# Two engines that differ (nodes a move), openings in order: every game is fixed by its pair's index.
match="-engine cmd=$engine name=n1500 nodes=1500 -engine cmd=$engine name=n800 nodes=800 -each option.Hash=16
  -games 8 -openings file=$source/params/openings.epd format=epd order=sequential -sprt elo0=0 elo1=5"
# shellcheck disable=SC2086  # the options are split into words, as match.sbatch splits MATCH
"$matcher" $match -jsonout "$tmp/one-match.json" >"$tmp/one-match.log" 2>&1 ||
  die "(b) the match in one run failed: $(cat "$tmp/one-match.log")"
array=$(MATCH_PROGRAM=$matcher RUN=$run SHARDS=2 MATCH=$match sbatch --parsable --array=0-1 --cpus-per-task=1 \
  -o "$run/logs/%x-%a.out" "$tools/match.sbatch")
MATCH_PROGRAM=$matcher RUN=$run SHARDS=2 sbatch --wait --quiet --dependency=afterany:"$array" \
  --kill-on-invalid-dep=yes -o "$run/logs/%x.out" "$tools/match-merge.sbatch" ||
  die "(b) the match merge failed: $(cat "$run/logs/"*.out)"
# counts FILE: the numbers a report is made of
counts() {
  python3 -c 'import json, sys
d = json.load(open(sys.argv[1]))
print(d["games"], d["wins"], d["draws"], d["losses"], d["pentanomial"], sorted(d["pairs"]), d["llr"], d["elo"])' "$1"
}
[ "$(counts "$run/match.json")" = "$(counts "$tmp/one-match.json")" ] ||
  die "(b) merged: $(counts "$run/match.json"); one run: $(counts "$tmp/one-match.json")"
[ "$(grep -c '^\[Result ' "$run/match.pgn")" = 8 ] || die "(b) match.pgn does not hold 8 games"
echo "(b) ok: games, wins, draws, losses, pentanomial, pairs, LLR, Elo: $(counts "$run/match.json")"
grep -i "llr" "$run/logs/quorvane-match-merge.out" | head -n 1

echo "== (c) a cancelled task: the merge refuses, the one index resubmitted completes the file"
run=$tmp/c
# Held until the task is cancelled, so that it is cancelled before it ran, on any machine speed.
array=$(submit_datagen "$run" --hold --array=0-$((SHARDS - 1)))
scancel "${array}_2"
scontrol release "$array"
if merge_datagen "$run" "$array"; then die "(c) the merge accepted a set without shard 2"; fi
grep -q "missing shards: 2$" "$run/logs/quorvane-datagen-merge.out" ||
  die "(c) the merge's refusal does not name shard 2: $(cat "$run/logs/quorvane-datagen-merge.out")"
[ ! -e "$run/data.txt" ] || die "(c) the refused merge left $run/data.txt"
echo "(c) refused: $(tail -n 1 "$run/logs/quorvane-datagen-merge.out")"
array=$(submit_datagen "$run" --array=2)
merge_datagen "$run" "$array" || die "(c) the merge after resubmitting shard 2 failed"
cmp "$run/data.txt" "$one_run" || die "(c) the completed file differs from one datagen run"
echo "(c) ok: shard 2 resubmitted alone, the merged file equals one run"
# A shard changed after it was written (a full disk, a copy gone wrong) is refused as well.
echo "1" >>"$run/shards/shard-00001.txt"
if RUN=$run OUT=$run/again.txt bash "$tools/datagen-merge.sbatch" 2>"$run/again.err"; then
  die "(c) the merge accepted a damaged shard"
fi
grep -q "damaged shards: 1$" "$run/again.err" || die "(c) the damaged shard 1 was not named: $(cat "$run/again.err")"
[ ! -e "$run/again.txt" ] || die "(c) the refused merge wrote $run/again.txt"

echo "slurm_ci: all checks passed in $((SECONDS - started)) s (after the start of Slurm)"
