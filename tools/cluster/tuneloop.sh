#!/usr/bin/env bash
# One generation of the tuning loop on a Slurm cluster, submitted at once as dependent jobs:
# datagen array -> datagen merge -> fit -> tuned build -> match array -> match merge. Run --help.
# shellcheck disable=SC2046,SC2086  # the optional --dependency and the site's sbatch options are split
set -euo pipefail
set -f  # option strings are split into words on purpose

usage() {
  cat <<'EOF'
usage: tools/cluster/tuneloop.sh [options] RUN

Submits the tuning loop to Slurm as six dependent jobs and prints their ids; everything goes to
the folder RUN, which every node must see:
  datagen.sbatch (array)   RUN/shards/shard-NNNNN.txt
  datagen-merge.sbatch     RUN/data.txt, RUN/data.txt.sha256
  fit.sbatch               RUN/tuned.txt, RUN/losses.tsv
  build.sbatch             RUN/build-tuned/quorvane
  match.sbatch (array)     RUN/match/shard-NNNNN.json (tuned vs default)
  match-merge.sbatch       RUN/match.json, RUN/match.pgn; the report and LLR in its log
Logs: RUN/logs/. A failed job cancels the jobs after it; a merge names the shards that failed.
The same command again skips every stage whose output is there and submits only the missing
shards, so after a failure it completes the generation (with the same options).

  --build DIR          build folder of the default engine, with quorvane, tools/tune/quorvane-tune
                       and tools/match/quorvane-match (default: SOURCE/build); on a shared disk
  --source DIR         source tree for the tuned build (default: the tree holding this script)
  --shards N           datagen shards (default 10)
  --games N            games per datagen shard (default 2000)
  --seed N             seed of the first game (default 1)
  --datagen 'KEYS'     datagen settings (default 'nodes=2000')
  --tune 'OPTIONS'     tuner options (default '--epochs 100')
  --build-options 'O'  more cmake options for the tuned build (default: none)
  --match-shards N     match shards (default 10)
  --match 'OPTIONS'    match options besides the engines (default: '-each nodes=20000
                       option.Hash=16 -games 20000 -openings file=SOURCE/params/openings.epd
                       format=epd order=random -sprt elo0=0 elo1=5')
  --cpus N             CPUs of every task (default 8): datagen and tuner threads, build jobs,
                       games at once
  --sbatch 'OPTIONS'   more sbatch options for every job, e.g. '--partition=long --time=12:00:00'
  --dry-run            print the sbatch commands instead of submitting them
  -h, --help           this text
EOF
}

die() {
  echo "cluster tuneloop: $*" >&2
  exit 1
}

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build_dir=""
shards=10
games=2000
seed=1
datagen="nodes=2000"
tune="--epochs 100"
build_options=""
match_shards=10
match=""
cpus=8
sbatch_options=""
dry_run=0
run=""

need_value() { [ $# -ge 2 ] || die "$1 needs a value"; }
while [ $# -gt 0 ]; do
  case "$1" in
    --build) need_value "$@"; build_dir=$2; shift 2 ;;
    --source) need_value "$@"; source_dir=$2; shift 2 ;;
    --shards) need_value "$@"; shards=$2; shift 2 ;;
    --games) need_value "$@"; games=$2; shift 2 ;;
    --seed) need_value "$@"; seed=$2; shift 2 ;;
    --datagen) need_value "$@"; datagen=$2; shift 2 ;;
    --tune) need_value "$@"; tune=$2; shift 2 ;;
    --build-options) need_value "$@"; build_options=$2; shift 2 ;;
    --match-shards) need_value "$@"; match_shards=$2; shift 2 ;;
    --match) need_value "$@"; match=$2; shift 2 ;;
    --cpus) need_value "$@"; cpus=$2; shift 2 ;;
    --sbatch) need_value "$@"; sbatch_options=$2; shift 2 ;;
    --dry-run) dry_run=1; shift ;;
    -h | --help) usage; exit 0 ;;
    -*) usage >&2; die "unknown option $1" ;;
    *) [ -z "$run" ] || die "more than one run folder: $run, $1"; run=$1; shift ;;
  esac
done
[ -n "$run" ] || { usage >&2; die "no run folder given"; }
for n in shards games match_shards cpus; do
  [[ ${!n} =~ ^[1-9][0-9]*$ ]] || die "--${n/_/-} needs a positive whole number, not '${!n}'"
done
[[ $seed =~ ^[0-9]+$ ]] || die "--seed needs a whole number, not '$seed'"

# Everything a later job needs is checked now, not hours later on a node.
source_dir=$(cd "$source_dir" && pwd) || die "no source tree at $source_dir"
grep -q QUORVANE_PARAMS "$source_dir/CMakeLists.txt" 2>/dev/null ||
  die "the source tree $source_dir has no QUORVANE_PARAMS build option"
build_dir=$(cd "${build_dir:-$source_dir/build}" && pwd) || die "no build folder"
engine=$build_dir/quorvane
tuner=$build_dir/tools/tune/quorvane-tune
matcher=$build_dir/tools/match/quorvane-match
for p in "$engine" "$tuner" "$matcher"; do [ -x "$p" ] || die "no program at $p"; done
match=${match:-"-each nodes=20000 option.Hash=16 -games 20000 -openings file=$source_dir/params/openings.epd format=epd order=random -sprt elo0=0 elo1=5"}
for word in $match; do
  case $word in -engine | -shard | -jsonout | -pgnout) die "--match must not hold $word: the loop sets it" ;; esac
done
[ "$dry_run" = 1 ] || command -v sbatch >/dev/null || die "no sbatch: run this on a Slurm login node"
mkdir -p "$run/logs"
run=$(cd "$run" && pwd)

# submit VARIABLES... -- SBATCH-ARGUMENTS...: one sbatch with these variables in its environment
# (sbatch hands the submitting environment to the job); prints the job id.
submit() {
  local vars=()
  while [ "$1" != "--" ]; do vars+=("$1"); shift; done
  shift
  if [ "$dry_run" = 1 ]; then
    echo "${vars[*]} sbatch --parsable $sbatch_options $*" >&2
    basename "${*: -1}" .sbatch
  else
    env "${vars[@]}" sbatch --parsable $sbatch_options "$@"
  fi
}
# missing DIR SUFFIX N: the indices 0..N-1 without DIR/shard-NNNNN.SUFFIX, as sbatch --array takes
# them (0-9,12,15-20)
missing() {
  local i list="" first=-1
  for ((i = 0; i <= $3; i++)); do
    if [ "$i" -lt "$3" ] && [ ! -f "$1/$(printf 'shard-%05d' "$i").$2" ]; then
      [ "$first" -ge 0 ] || first=$i
    elif [ "$first" -ge 0 ]; then
      list+=${list:+,}$first
      [ "$first" -eq $((i - 1)) ] || list+=-$((i - 1))
      first=-1
    fi
  done
  echo "$list"
}
# after KIND:JOB...: a --dependency on the jobs that were submitted; nothing when none was (a job
# left out because its output was already there). Used unquoted, so that nothing is no argument.
after() {
  local deps=() d
  for d in "$@"; do [ -z "${d#*:}" ] || deps+=("$d"); done
  [ ${#deps[@]} -eq 0 ] || echo "--dependency=$(IFS=,; echo "${deps[*]}")"
}
log=$run/logs
kill=--kill-on-invalid-dep=yes
datagen_job="" merge_job="" fit_job="" build_job="" match_job=""

# A stage whose output is there is skipped, unless a stage before it runs, and an array resubmits
# only its missing shards: after a failure, the same command again completes the generation.
data_vars=(QUORVANE="$engine" RUN="$run" SHARDS="$shards" GAMES="$games" SEED="$seed" SETTINGS="$datagen")
if [ ! -f "$run/data.txt.sha256" ]; then
  todo=$(missing "$run/shards" sum "$shards")
  [ -z "$todo" ] || datagen_job=$(submit "${data_vars[@]}" -- --array="$todo" --cpus-per-task="$cpus" \
    -o "$log/%x-%a.out" "$here/datagen.sbatch")
  merge_job=$(submit "${data_vars[@]}" -- $(after afterany:"$datagen_job") $kill -o "$log/%x.out" \
    "$here/datagen-merge.sbatch")
fi
[ -z "$merge_job" ] && [ -f "$run/tuned.txt" ] || fit_job=$(submit TUNER="$tuner" RUN="$run" TUNE="$tune" -- \
  $(after afterok:"$merge_job") $kill --cpus-per-task="$cpus" -o "$log/%x.out" "$here/fit.sbatch")
[ -z "$fit_job" ] && [ -x "$run/build-tuned/quorvane" ] ||
  build_job=$(submit SOURCE="$source_dir" RUN="$run" BUILD_OPTIONS="$build_options" -- \
    $(after afterok:"$fit_job") $kill --cpus-per-task="$cpus" -o "$log/%x.out" "$here/build.sbatch")
match_vars=(MATCH_PROGRAM="$matcher" RUN="$run" SHARDS="$match_shards"
  MATCH="-engine cmd=$run/build-tuned/quorvane name=tuned -engine cmd=$engine name=default $match")
todo=0-$((match_shards - 1))
[ -n "$build_job" ] || todo=$(missing "$run/match" json "$match_shards")
[ -z "$todo" ] || match_job=$(submit "${match_vars[@]}" -- --array="$todo" $(after afterok:"$build_job") $kill \
  --cpus-per-task="$cpus" -o "$log/%x-%a.out" "$here/match.sbatch")
# afterok on the build as well: when the build failed there is no match to report on.
decision_job=$(submit "${match_vars[@]}" -- $(after afterany:"$match_job" afterok:"$build_job") $kill -o "$log/%x.out" "$here/match-merge.sbatch")

cat <<EOF
submitted into $run (jobs; - where the output was already there):
  datagen ${datagen_job:--}, merge ${merge_job:--}, fit ${fit_job:--}, build ${build_job:--},
  match ${match_job:--}, merge $decision_job
Follow with: squeue -u "\$USER"; the decision: cat $log/quorvane-match-merge.out
EOF
