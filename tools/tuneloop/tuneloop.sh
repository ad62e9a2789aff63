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
  --threads N          datagen and tuner threads (default: all cores)
  --datagen 'KEYS'     more datagen settings, e.g. 'maxdepth=10 randomplies=10'
  --data FILE          fit to this data file instead of generating one (repeatable)
  --tune 'OPTIONS'     tuner options (default: '--epochs 100')
  --match-runner PATH  the match runner (a Node.js script, see below); needed unless --no-match
  --match 'OPTIONS'    match options (default: '--nodes 20000 --sprt 0,5 --games 20000
                       --concurrency 2')
  --openings FILE      openings for the match (EPD or FEN lines; default: the runner's own)
  --no-build           stop after the fit (no tuned build, no match)
  --no-match           stop after the tuned build
  -h, --help           this text

The match runner is called as
  node PATH --engine1 TUNED --engine2 DEFAULT --name1 tuned --name2 default
       [--openings FILE] MATCH-OPTIONS --pgn OUTDIR/match.pgn --json OUTDIR/match.json
so it must accept those options (--nodes N or --tc BASE+INC, --sprt ELO0,ELO1, --concurrency N,
--games N, ...), print its progress and summary on standard output and exit with 0 when done.
EOF
}

die() {
  echo "tuneloop: $*" >&2
  exit 1
}

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
match_options="--nodes 20000 --sprt 0,5 --games 20000 --concurrency 2"
openings=""
do_build=1
do_match=1
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
    -h | --help) usage; exit 0 ;;
    -*) usage >&2; die "unknown option $1" ;;
    *) [ -z "$out" ] || die "more than one output folder: $out, $1"; out=$1; shift ;;
  esac
done
[ -n "$out" ] || { usage >&2; die "no output folder given"; }
for n in games nodes seed threads; do
  [[ ${!n} =~ ^[0-9]+$ ]] || die "--$n needs a whole number, not '${!n}'"
done
[ "$threads" -ge 1 ] || die "--threads needs at least 1"
if [ "$do_match" = 1 ]; then
  [ -n "$runner" ] || die "the match needs --match-runner PATH (or --no-match)"
  [ -f "$runner" ] || die "no match runner at $runner"
  command -v node >/dev/null || die "the match runner needs Node.js (node)"
fi
[ -z "$openings" ] || [ -f "$openings" ] || die "no openings file at $openings"
for f in "${data_files[@]}"; do [ -f "$f" ] || die "no data file at $f"; done

mkdir -p "$out"
out=$(cd "$out" && pwd)
source_dir=$(cd "$source_dir" && pwd)
build_dir=${build_dir:-$source_dir/build}
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)

started=$SECONDS
stage() { printf '\n[tuneloop %s, %ds] %s\n' "$(date +%H:%M:%S)" $((SECONDS - started)) "$*"; }

# Stage 0: the default engine and the tuner.
engine=$build_dir/quorvane
tuner=$build_dir/tools/tune/quorvane-tune
if [ ! -x "$engine" ] || [ ! -x "$tuner" ]; then
  stage "building the default engine and the tuner in $build_dir (log: $out/build-default.log)"
  { cmake -S "$source_dir" -B "$build_dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release &&
    cmake --build "$build_dir" -j "$threads" --target quorvane quorvane-tune; } \
    >"$out/build-default.log" 2>&1 || die "the default build failed; see $out/build-default.log"
fi
[ -x "$engine" ] && [ -x "$tuner" ] || die "no quorvane or quorvane-tune in $build_dir"
"$engine" tuneparams >"$out/start.txt"

# Stage 1: self-play data.
if [ ${#data_files[@]} -eq 0 ]; then
  progress=$((games / 20))
  [ "$progress" -ge 1 ] || progress=1
  stage "1/4 datagen: $games games at $nodes nodes, $threads threads -> $out/data.txt"
  # shellcheck disable=SC2086  # the extra keys are split on purpose
  "$engine" datagen games="$games" nodes="$nodes" seed="$seed" threads="$threads" \
    progress="$progress" $datagen_extra out="$out/data.txt" 2>&1 | tee "$out/datagen.log"
  [ "${PIPESTATUS[0]}" = 0 ] || die "datagen failed; see $out/datagen.log"
  data_files=("$out/data.txt")
else
  stage "1/4 datagen: skipped, fitting to ${data_files[*]}"
fi

# Stage 2: the fit.
stage "2/4 fit: quorvane-tune $tune_options -> $out/tuned.txt"
# shellcheck disable=SC2086
"$tuner" $tune_options --threads "$threads" --log "$out/losses.tsv" --out "$out/tuned.txt" \
  "${data_files[@]}" 2>&1 | tee "$out/tune.log"
[ "${PIPESTATUS[0]}" = 0 ] || die "the fit failed; see $out/tune.log"

# Stage 3: the tuned engine.
tuned_engine=$out/build-tuned/quorvane
if [ "$do_build" = 1 ]; then
  grep -q QUORVANE_PARAMS "$source_dir/CMakeLists.txt" ||
    die "the source tree $source_dir has no QUORVANE_PARAMS build option"
  stage "3/4 build: -DQUORVANE_PARAMS=$out/tuned.txt in $out/build-tuned (log: $out/build-tuned.log)"
  { cmake -S "$source_dir" -B "$out/build-tuned" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
      -DQUORVANE_TESTS=OFF -DQUORVANE_PARAMS="$out/tuned.txt" &&
    cmake --build "$out/build-tuned" -j "$threads" --target quorvane; } \
    >"$out/build-tuned.log" 2>&1 || die "the tuned build failed; see $out/build-tuned.log"
  # The tuned engine must list exactly the fitted values.
  "$tuned_engine" tuneparams | cmp -s - "$out/tuned.txt" ||
    die "the tuned engine does not list the values of $out/tuned.txt"
  echo "tuned engine: $tuned_engine; $("$tuned_engine" benchsearch 8 | tail -1)"
else
  stage "3/4 build: skipped"
fi

# Stage 4: the match.
if [ "$do_match" = 1 ]; then
  stage "4/4 match: tuned vs default with $runner $match_options"
  opening_args=()
  [ -z "$openings" ] || opening_args=(--openings "$openings")
  # shellcheck disable=SC2086
  node "$runner" --engine1 "$tuned_engine" --engine2 "$engine" --name1 tuned --name2 default \
    "${opening_args[@]}" $match_options --pgn "$out/match.pgn" --json "$out/match.json" \
    2>&1 | tee "$out/match.log"
  [ "${PIPESTATUS[0]}" = 0 ] || die "the match failed; see $out/match.log"
else
  stage "4/4 match: skipped"
fi

stage "report: $out/report.html"
report_args=(--out "$out/report.html" --before "$out/start.txt" --after "$out/tuned.txt"
  --losses "$out/losses.tsv" --tune-log "$out/tune.log")
[ ! -f "$out/datagen.log" ] || report_args+=(--datagen-log "$out/datagen.log")
[ ! -f "$out/match.log" ] || [ "$do_match" = 0 ] || report_args+=(--match-log "$out/match.log")
python3 "$here/report.py" "${report_args[@]}" || die "the report failed"
stage "done in $((SECONDS - started)) s: $out"
