#!/usr/bin/env bash
# The tuning loop in one go, into one output folder: self-play data on every core, a fit, a build
# with the fitted parameters, a match of that build against the default one, and a report.
# Every stage prints its progress; every file it makes stays in the folder. Run with --help.
set -euo pipefail
set -f  # option strings are split into words on purpose; patterns like 'matMg_*' must stay as typed

usage() {
  cat <<'EOF'
usage: tools/tuneloop/tuneloop.sh [options] OUTDIR

Runs datagen -> quorvane-tune -> a build with -DQUORVANE_PARAMS -> a match tuned vs default, and
writes OUTDIR/report.html (losses per epoch, piece-square tables before and after).

  --build DIR          build folder of the default engine, with quorvane and
                       tools/tune/quorvane-tune in it (default: SOURCE/build, configured and built
                       there when it has no engine yet); build it from SOURCE, so that the match
                       compares the parameters alone
  --source DIR         source tree for the tuned build (default: the tree holding this script)
  --games N            datagen games (default 20000)
  --nodes N            datagen nodes per move (default 2000)
  --seed N             datagen seed (default 1)
  --threads N          datagen and tuner threads (default: all cores; each program gets at most
                       what it takes: 256 for datagen, 64 for the tuner)
  --datagen 'KEYS'     more datagen settings, e.g. 'maxdepth=10 randomplies=10'
  --data FILE          fit to this data file instead of generating one (repeatable)
  --tune 'OPTIONS'     tuner options (default: '--epochs 100')
  --match 'OPTIONS'    quorvane-match options (default: '-each nodes=20000 option.Hash=16
                       -games 20000 -concurrency 2 -sprt elo0=0 elo1=5')
  --openings FILE      openings for the match (EPD lines; default: SOURCE/params/openings.epd)
  --match-runner PATH  an outside match runner (a Node.js script, see below) instead of
                       quorvane-match; its --match default: '--nodes 20000 --sprt 0,5 --games
                       20000 --concurrency 2', its openings default: its own
  --no-build           stop after the fit (no tuned build, no match)
  --no-match           stop after the tuned build
  --generations K      after the first generation, up to K-1 more: each makes its data with
                       the last accepted engine, fits starting from its listing (--start),
                       and plays its match against it; the loop stops at the first generation
                       whose SPRT does not accept it (default 1; needs -sprt in --match)
  --next-games N       datagen games of generations 2 on (default: --games)
  --next-nodes N       datagen nodes per move of generations 2 on (default: --nodes)
  --first LISTING      take this listing (e.g. params/tuned.txt) as generation 1, accepted as it
                       is: the loop builds it and goes on to generation 2, whose datagen starts at
                       --seed (needs --generations 2 or more; no --data)
  --reuse              run in an OUTDIR that holds files (an earlier run): the files the
                       stages make are removed before the first one starts
  -h, --help           this text

Every setting, and every program the chosen stages need, is checked before the first stage. A
stage that fails ends the loop with one line naming it and its log.

The match is played by quorvane-match (built in the --build folder) as
  quorvane-match -engine cmd=TUNED name=tuned -engine cmd=DEFAULT name=default
       -openings file=FILE format=epd order=random MATCH-OPTIONS
       -pgnout OUTDIR/match.pgn -jsonout OUTDIR/match.json
An outside match runner is called as
  node PATH --engine1 TUNED --engine2 DEFAULT --name1 tuned --name2 default
       [--openings FILE] MATCH-OPTIONS --pgn OUTDIR/match.pgn --json OUTDIR/match.json
so it must accept those options (--nodes N or --tc BASE+INC, --sprt ELO0,ELO1, --concurrency N,
--games N, ...), print its progress and summary on standard output and exit with 0 when done.

With --generations, generation G > 1 works in OUTDIR/gen-G (the same files as the first) with the
datagen seeds that follow the previous generation's, its match is genG vs gen(G-1), and
OUTDIR/best.txt is the listing of the last generation accepted (none when the first is not);
OUTDIR/report.html shows every generation's data, losses, changes and games. With --first,
OUTDIR holds generation 1's listing (tuned.txt) and engine (build-tuned) but no data, fit or match.
EOF
}

die() {
  echo "tuneloop: $*" >&2
  exit 1
}

# Whatever else stops the script (set -e) still names the stage it was in.
current="the setup"
current_log=""
on_error() { echo "tuneloop: $current failed (status $1)${current_log:+; see $current_log}" >&2; }
trap 'on_error $?' ERR
set -o errtrace

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build_dir=""
games=20000
nodes=2000
seed=1
threads=$(nproc 2>/dev/null || echo 1)
datagen_extra=""
data_files=()
tune_options="--epochs 100"
runner=""
match_options=""
openings=""
do_build=1
do_match=1
reuse=0
generations=1
next_games=""
next_nodes=""
first=""
out=""

need_value() { [ $# -ge 2 ] || die "$1 needs a value"; }
while [ $# -gt 0 ]; do
  case "$1" in
    --build) need_value "$@"; build_dir=$2; shift 2 ;;
    --source) need_value "$@"; source_dir=$2; shift 2 ;;
    --games) need_value "$@"; games=$2; shift 2 ;;
    --nodes) need_value "$@"; nodes=$2; shift 2 ;;
    --seed) need_value "$@"; seed=$2; shift 2 ;;
    --threads) need_value "$@"; threads=$2; shift 2 ;;
    --datagen) need_value "$@"; datagen_extra=$2; shift 2 ;;
    --data) need_value "$@"; data_files+=("$2"); shift 2 ;;
    --tune) need_value "$@"; tune_options=$2; shift 2 ;;
    --match-runner) need_value "$@"; runner=$2; shift 2 ;;
    --match) need_value "$@"; match_options=$2; shift 2 ;;
    --openings) need_value "$@"; openings=$2; shift 2 ;;
    --no-build) do_build=0; do_match=0; shift ;;
    --no-match) do_match=0; shift ;;
    --reuse) reuse=1; shift ;;
    --generations) need_value "$@"; generations=$2; shift 2 ;;
    --next-games) need_value "$@"; next_games=$2; shift 2 ;;
    --next-nodes) need_value "$@"; next_nodes=$2; shift 2 ;;
    --first) need_value "$@"; first=$2; shift 2 ;;
    -h | --help) usage; exit 0 ;;
    -*) usage >&2; die "unknown option $1" ;;
    *) [ -z "$out" ] || die "more than one output folder: $out, $1"; out=$1; shift ;;
  esac
done
[ -n "$out" ] || { usage >&2; die "no output folder given"; }
next_games=${next_games:-$games}
next_nodes=${next_nodes:-$nodes}
for n in games nodes seed threads generations next_games next_nodes; do
  [[ ${!n} =~ ^[0-9]+$ ]] || die "--${n//_/-} needs a whole number, not '${!n}'"
done
[ "$threads" -ge 1 ] || die "--threads needs at least 1"
[ "$generations" -ge 1 ] || die "--generations needs at least 1"
# Each program gets a thread count it takes, so that a machine with many cores does not see the fit
# refuse its count after hours of data generation.
datagen_threads=$((threads < 256 ? threads : 256))
tune_threads=$((threads < 64 ? threads : 64))
# shellcheck disable=SC2086  # the options are words
for word in $tune_options; do
  case $word in
    -h | --help) die "--tune '$tune_options' asks for the tuner's help text, which fits nothing" ;;
  esac
done
[ -d "$source_dir" ] || die "no source tree at $source_dir"
source_dir=$(cd "$source_dir" && pwd)
if [ "$do_match" = 1 ]; then
  if [ -n "$runner" ]; then
    [ -f "$runner" ] || die "no match runner at $runner"
    match_options=${match_options:-"--nodes 20000 --sprt 0,5 --games 20000 --concurrency 2"}
  else
    match_options=${match_options:-"-each nodes=20000 option.Hash=16 -games 20000 -concurrency 2 -sprt elo0=0 elo1=5"}
    openings=${openings:-$source_dir/params/openings.epd}
  fi
fi
[ -z "$openings" ] || [ -f "$openings" ] || die "no openings file at $openings"
if [ "$generations" -gt 1 ]; then
  # Each later generation is kept or dropped by its match's SPRT, whose decision only quorvane-match's
  # summary gives the loop.
  [ "$do_match" = 1 ] || die "--generations $generations needs the tuned builds and their matches"
  [ -z "$runner" ] || die "--generations needs quorvane-match for the SPRT's decision, not --match-runner"
  has_sprt=0
  # shellcheck disable=SC2086  # the options are words
  for word in $match_options; do [ "$word" != -sprt ] || has_sprt=1; done
  [ "$has_sprt" = 1 ] ||
    die "--generations needs an SPRT in --match (-sprt elo0=... elo1=...) to keep or drop each generation"
  # shellcheck disable=SC2086
  for word in $tune_options; do
    [ "$word" != --start ] ||
      die "--generations starts each later fit from the last accepted listing; --tune must not set --start"
  done
fi
if [ -n "$first" ]; then
  [ -f "$first" ] || die "no listing at $first"
  [ "$generations" -ge 2 ] ||
    die "--first $first is generation 1; the loop needs --generations 2 or more to go on from it"
  [ ${#data_files[@]} -eq 0 ] || die "--first $first is generation 1 as it is; there is no fit for --data"
  first=$(cd "$(dirname "$first")" && pwd)/$(basename "$first")
fi
for f in "${data_files[@]}"; do [ -f "$f" ] || die "no data file at $f"; done
build_dir=${build_dir:-$source_dir/build}
engine=$build_dir/quorvane
tuner=$build_dir/tools/tune/quorvane-tune
match=$build_dir/tools/match/quorvane-match
build_default=0
[ -x "$engine" ] && [ -x "$tuner" ] || build_default=1
[ "$do_match" = 0 ] || [ -n "$runner" ] || [ -x "$match" ] || build_default=1
if [ "$do_build" = 1 ]; then
  grep -q QUORVANE_PARAMS "$source_dir/CMakeLists.txt" ||
    die "the source tree $source_dir has no QUORVANE_PARAMS build option"
fi

# Every program the chosen stages need, before the first of them.
needed=(python3 cmp tee)
[ "$build_default" = 0 ] && [ "$do_build" = 0 ] || needed+=(cmake)
[ "$do_match" = 0 ] || [ -z "$runner" ] || needed+=(node)
for program in "${needed[@]}"; do
  case $program in
    python3) why="the report needs Python 3 (python3)" ;;
    cmake) why="the builds need CMake (cmake)" ;;
    node) why="the match runner needs Node.js (node)" ;;
    *) why="the loop needs $program" ;;
  esac
  command -v "$program" >/dev/null || die "$why, which is not on PATH"
done

# A folder that holds an earlier run would mix its files with this run's.
if [ -d "$out" ] && [ -n "$(ls -A "$out")" ] && [ "$reuse" = 0 ]; then
  die "$out is not empty (an earlier run?); give a new folder, or --reuse to replace what the stages make"
fi
mkdir -p "$out"
out=$(cd "$out" && pwd)
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)

started=$SECONDS
stage() { printf '\n[tuneloop %s, %ds] %s\n' "$(date +%H:%M:%S)" $((SECONDS - started)) "$*"; }

# Runs a command with its output shown and kept in LOG; a failure ends the loop naming the stage
# and the log.
logged() {  # STAGE LOG COMMAND...
  local name=$1 log=$2
  shift 2
  current=$name
  current_log=$log
  if ! "$@" 2>&1 | tee "$log"; then die "$name failed; see $log"; fi
}

# The files a stage makes go before it starts; afterwards each must be there and be no older than
# the stage's inputs, so that a program that exits with 0 without writing (or an earlier run's file)
# is never taken for this run's result.
clear_outputs() { rm -rf "$@"; }
# Builds the engine with DIR/tuned.txt in DIR/build-tuned, logging to $current_log, and checks that
# it lists exactly those values (a build folder reused from an earlier run with the same values is
# not relinked, so its time stamp proves nothing).
build_tuned() {  # DIR BUILD-NAME ENGINE-NAME
  local dir=$1 engine_made=$1/build-tuned/quorvane
  { cmake -S "$source_dir" -B "$dir/build-tuned" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
      -DQUORVANE_TESTS=OFF -DQUORVANE_PARAMS="$dir/tuned.txt" &&
    cmake --build "$dir/build-tuned" -j "$threads" --target quorvane; } \
    >"$current_log" 2>&1 || die "$2 failed; see $current_log"
  [ -x "$engine_made" ] || die "$2 made no $engine_made; see $current_log"
  "$engine_made" tuneparams | cmp -s - "$dir/tuned.txt" || die "$3 does not list the values of $dir/tuned.txt"
}

check_output() {  # STAGE LOG OUTPUT INPUT...
  local name=$1 log=$2 output=$3 input
  shift 3
  local see=${log:+; see $log}
  [ -s "$output" ] || die "$name wrote no $output$see"
  for input in "$@"; do
    [ ! "$input" -nt "$output" ] || die "$name left $output older than $input$see"
  done
}

# In a reused folder the files of every stage to come go now: a run that stops half way must not
# leave an earlier run's later results beside its own.
made=("$out/start.txt" "$out/tuned.txt" "$out/losses.tsv" "$out/tune.log" "$out/report.html")
[ ${#data_files[@]} -gt 0 ] || made+=("$out/data.txt" "$out/datagen.log")
[ "$do_build" = 0 ] || made+=("$out/build-tuned.log")
[ "$do_match" = 0 ] || made+=("$out/match.pgn" "$out/match.json" "$out/match.log")
for f in "${made[@]}"; do
  for d in "${data_files[@]}"; do
    [ ! "$f" -ef "$d" ] || die "--data $d is one of the files the loop makes in $out"
  done
done
clear_outputs "${made[@]}"
# Later generations' folders, and the choice among them, from any earlier run.
find "$out" -maxdepth 1 -name 'gen-[0-9]*' -type d -exec rm -rf {} +
clear_outputs "$out/best.txt"

# Stage 0: the default engine and the tuner.
if [ "$build_default" = 1 ]; then
  current="the default build"
  current_log=$out/build-default.log
  stage "building the default engine and the tuner in $build_dir (log: $current_log)"
  { cmake -S "$source_dir" -B "$build_dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release &&
    cmake --build "$build_dir" -j "$threads" --target quorvane quorvane-tune quorvane-match; } \
    >"$current_log" 2>&1 || die "the default build failed; see $current_log"
fi
if [ ! -x "$engine" ] || [ ! -x "$tuner" ]; then die "no quorvane or quorvane-tune in $build_dir"; fi
# The settings of the stages to come, checked by the programs themselves before any of them runs.
planned_data=()
[ ${#data_files[@]} -gt 0 ] || planned_data=("$out/data.txt")
current="checking the settings"
if [ ${#data_files[@]} -eq 0 ]; then
  # shellcheck disable=SC2086  # the extra keys are split on purpose
  check=$("$engine" datagen games=0 threads="$datagen_threads" $datagen_extra out=/dev/null 2>&1) ||
    die "datagen refuses its settings: $(printf '%s' "$check" | grep -v '^datagen: games=' | head -3)"
fi
# With --first, the first fit is generation 2's, from that listing: the tuner checks it now.
first_start=()
[ -z "$first" ] || first_start=(--start "$first")
# shellcheck disable=SC2086
check=$("$tuner" $tune_options "${first_start[@]}" --threads "$tune_threads" --log "$out/losses.tsv" \
  --out "$out/tuned.txt" --check "${data_files[@]}" "${planned_data[@]}" 2>&1) ||
  die "the tuner refuses its settings: $(printf '%s\n' "$check" | head -1)"
if [ "$do_match" = 1 ] && [ -z "$runner" ]; then
  [ -x "$match" ] || die "no quorvane-match in $build_dir/tools/match"
  # The tuned engine does not exist yet; -check starts no engine.
  # shellcheck disable=SC2086
  check=$("$match" -engine cmd="$engine" name=tuned -engine cmd="$engine" name=default \
    -openings file="$openings" format=epd order=random $match_options -check 2>&1) ||
    die "quorvane-match refuses its settings: $(printf '%s\n' "$check" | head -1)"
fi

current="listing the engine's parameters"
current_log=""
"$engine" tuneparams >"$out/start.txt" || die "$engine tuneparams failed"

# Stage 1: self-play data.
ran_datagen=0
if [ -n "$first" ]; then
  stage "1/4 datagen: skipped, generation 1 is $first"
elif [ ${#data_files[@]} -eq 0 ]; then
  progress=$((games / 20))
  [ "$progress" -ge 1 ] || progress=1
  clear_outputs "$out/data.txt" "$out/datagen.log"
  stage "1/4 datagen: $games games at $nodes nodes, $datagen_threads threads -> $out/data.txt"
  # shellcheck disable=SC2086  # the extra keys are split on purpose
  logged "datagen" "$out/datagen.log" "$engine" datagen games="$games" nodes="$nodes" seed="$seed" \
    threads="$datagen_threads" progress="$progress" $datagen_extra out="$out/data.txt"
  [ -f "$out/data.txt" ] || die "datagen wrote no $out/data.txt; see $out/datagen.log"
  data_files=("$out/data.txt")
  ran_datagen=1
else
  stage "1/4 datagen: skipped, fitting to ${data_files[*]}"
fi

# Stage 2: the fit.
clear_outputs "$out/tuned.txt" "$out/losses.tsv" "$out/tune.log"
if [ -n "$first" ]; then
  stage "2/4 fit: skipped, generation 1 is $first -> $out/tuned.txt"
  current="copying $first"
  cp "$first" "$out/tuned.txt.tmp" && mv -f "$out/tuned.txt.tmp" "$out/tuned.txt"
else
  stage "2/4 fit: quorvane-tune $tune_options -> $out/tuned.txt"
  # shellcheck disable=SC2086
  logged "the fit" "$out/tune.log" "$tuner" $tune_options --threads "$tune_threads" \
    --log "$out/losses.tsv" --out "$out/tuned.txt" "${data_files[@]}"
  for made in "$out/tuned.txt" "$out/losses.tsv"; do
    check_output "the fit" "$out/tune.log" "$made" "${data_files[@]}"
  done
fi

# Stage 3: the tuned engine.
tuned_engine=$out/build-tuned/quorvane
if [ "$do_build" = 1 ]; then
  current="the tuned build"
  current_log=$out/build-tuned.log
  clear_outputs "$current_log"
  stage "3/4 build: -DQUORVANE_PARAMS=$out/tuned.txt in $out/build-tuned (log: $current_log)"
  build_tuned "$out" "the tuned build" "the tuned engine"
  echo "tuned engine: $tuned_engine; $("$tuned_engine" benchsearch 8 | tail -1)"
else
  stage "3/4 build: skipped"
fi

# Stage 4: the match.
if [ -n "$first" ]; then
  stage "4/4 match: skipped, generation 1 is taken as accepted"
elif [ "$do_match" = 1 ]; then
  clear_outputs "$out/match.pgn" "$out/match.json" "$out/match.log"
  if [ -n "$runner" ]; then
    stage "4/4 match: tuned vs default with $runner $match_options"
    opening_args=()
    [ -z "$openings" ] || opening_args=(--openings "$openings")
    # shellcheck disable=SC2086
    logged "the match" "$out/match.log" node "$runner" --engine1 "$tuned_engine" --engine2 "$engine" \
      --name1 tuned --name2 default "${opening_args[@]}" $match_options --pgn "$out/match.pgn" \
      --json "$out/match.json"
  else
    [ -x "$match" ] || die "no quorvane-match in $build_dir/tools/match"
    stage "4/4 match: tuned vs default with quorvane-match $match_options"
    # shellcheck disable=SC2086
    logged "the match" "$out/match.log" "$match" -engine cmd="$tuned_engine" name=tuned \
      -engine cmd="$engine" name=default -openings file="$openings" format=epd order=random \
      $match_options -pgnout "$out/match.pgn" -jsonout "$out/match.json"
  fi
else
  stage "4/4 match: skipped"
fi

# The SPRT's verdict in a quorvane-match summary ("H1 accepted", "H0 accepted" or "none").
sprt_decision() {
  python3 -c 'import json, sys
s = json.load(open(sys.argv[1], encoding="utf-8")).get("sprt") or {}
print(s.get("decision") or "none")' "$1"
}

# Later generations: each one's data comes from the last accepted engine, its fit starts from that
# engine's listing, and its match is against that engine.
generation_dirs=("$out")
best=""
if [ "$generations" -gt 1 ]; then
  current="reading the match summary"
  current_log=""
  if [ -n "$first" ]; then
    decision="H1 accepted"
    gen_seed=$seed
  else
    decision=$(sprt_decision "$out/match.json") || die "cannot read the SPRT's decision in $out/match.json"
    gen_seed=$((seed + games))
  fi
  prev_name=gen1
  prev_engine=$tuned_engine
  prev_listing=$out/tuned.txt
  for ((g = 2; g <= generations; g++)); do
    if [ "$decision" != "H1 accepted" ]; then
      stage "generation $((g - 1)): SPRT $decision, not accepted; no generation $g"
      break
    fi
    best=$prev_listing
    gdir=$out/gen-$g
    mkdir -p "$gdir"
    generation_dirs+=("$gdir")
    cp "$prev_listing" "$gdir/start.txt"
    progress=$((next_games / 20))
    [ "$progress" -ge 1 ] || progress=1
    stage "generation $g, 1/4 datagen: $next_games games at $next_nodes nodes with $prev_name -> $gdir/data.txt"
    # shellcheck disable=SC2086  # the extra keys are split on purpose
    logged "generation $g's datagen" "$gdir/datagen.log" "$prev_engine" datagen games="$next_games" \
      nodes="$next_nodes" seed="$gen_seed" threads="$datagen_threads" progress="$progress" \
      $datagen_extra out="$gdir/data.txt"
    [ -f "$gdir/data.txt" ] || die "datagen wrote no $gdir/data.txt; see $gdir/datagen.log"
    gen_seed=$((gen_seed + next_games))

    stage "generation $g, 2/4 fit: quorvane-tune $tune_options --start $gdir/start.txt -> $gdir/tuned.txt"
    # shellcheck disable=SC2086
    logged "generation $g's fit" "$gdir/tune.log" "$tuner" $tune_options --start "$gdir/start.txt" \
      --threads "$tune_threads" --log "$gdir/losses.tsv" --out "$gdir/tuned.txt" "$gdir/data.txt"
    for made in "$gdir/tuned.txt" "$gdir/losses.tsv"; do
      check_output "generation $g's fit" "$gdir/tune.log" "$made" "$gdir/data.txt"
    done

    current="generation $g's build"
    current_log=$gdir/build-tuned.log
    stage "generation $g, 3/4 build: -DQUORVANE_PARAMS=$gdir/tuned.txt in $gdir/build-tuned"
    build_tuned "$gdir" "generation $g's build" "generation $g's engine"
    gen_engine=$gdir/build-tuned/quorvane

    stage "generation $g, 4/4 match: gen$g vs $prev_name with quorvane-match $match_options"
    # shellcheck disable=SC2086
    logged "generation $g's match" "$gdir/match.log" "$match" -engine cmd="$gen_engine" name="gen$g" \
      -engine cmd="$prev_engine" name="$prev_name" -openings file="$openings" format=epd order=random \
      $match_options -pgnout "$gdir/match.pgn" -jsonout "$gdir/match.json"
    decision=$(sprt_decision "$gdir/match.json") || die "cannot read the SPRT's decision in $gdir/match.json"
    prev_name=gen$g
    prev_engine=$gen_engine
    prev_listing=$gdir/tuned.txt
  done
  # The last generation played may have been accepted too.
  if [ "$decision" = "H1 accepted" ]; then best=$prev_listing; fi
  if [ -n "$best" ]; then
    cp "$best" "$out/best.txt.tmp" && mv -f "$out/best.txt.tmp" "$out/best.txt"
    stage "best listing: $best -> $out/best.txt"
  else
    stage "no generation accepted: the default values stay"
  fi
fi

current="the report"
current_log=""
# Every later generation gets a page of its own; the first page lists them all.
for ((i = 1; i < ${#generation_dirs[@]}; i++)); do
  gdir=${generation_dirs[$i]}
  python3 "$here/report.py" --out "$gdir/report.html" --before "$gdir/start.txt" \
    --after "$gdir/tuned.txt" --losses "$gdir/losses.tsv" --tune-log "$gdir/tune.log" \
    --datagen-log "$gdir/datagen.log" --match-log "$gdir/match.log" --tuner "$tuner" ||
    die "the report failed"
done
clear_outputs "$out/report.html"
stage "report: $out/report.html"
report_args=(--out "$out/report.html" --before "$out/start.txt" --after "$out/tuned.txt" --tuner "$tuner")
# Only this run's logs: a reused folder may hold an earlier run's.
[ -n "$first" ] || report_args+=(--losses "$out/losses.tsv" --tune-log "$out/tune.log")
[ "$ran_datagen" = 0 ] || report_args+=(--datagen-log "$out/datagen.log")
[ "$do_match" = 0 ] || [ -n "$first" ] || report_args+=(--match-log "$out/match.log")
if [ "$generations" -gt 1 ]; then
  for gdir in "${generation_dirs[@]}"; do report_args+=(--generation "$gdir"); done
fi
python3 "$here/report.py" "${report_args[@]}" || die "the report failed"
check_output "the report" "" "$out/report.html" "$out/tuned.txt"
stage "done in $((SECONDS - started)) s: $out"
