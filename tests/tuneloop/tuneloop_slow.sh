#!/usr/bin/env bash
# The tuning loop end to end on a tiny setting: datagen on two threads, a short fit, the tuned
# build (its engine must list the fitted values), one game pair of it against the default build with
# quorvane-match, a second generation made by the tuned engine and played against it, and the
# report; then a run that goes on from the listing it accepted. The SPRT's bounds are set to accept
# any generation after one pair.
# Usage: tuneloop_slow.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
out=$(mktemp -d /tmp/quorvane-tuneloop-XXXXXX)
trap 'rm -rf "$out"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Without the parameters build option there is no tuned build to make.
build_stage=()
generations=(--generations 2 --next-games 4)
sprt="-sprt elo0=-1000 elo1=-900 alpha=0.49 beta=0.49"
grep -q QUORVANE_PARAMS "$source_dir/CMakeLists.txt" || { build_stage=(--no-build); generations=(); sprt=""; }

log=$out/run.log
if ! bash "$source_dir/tools/tuneloop/tuneloop.sh" --build "$build_dir" --source "$source_dir" \
  --games 6 --nodes 300 --threads 2 --datagen 'maxdepth=4' \
  --tune '--epochs 3 --batch 64 --freeze matMg_*,matEg_*' "${build_stage[@]}" \
  --match "-each nodes=300 option.Hash=4 -games 2 -ratinginterval 0 $sprt" "${generations[@]}" "$out/run" \
  >"$log" 2>&1; then
  cat "$log"
  fail "the loop failed"
fi
match_stage="4/4 match: tuned vs default with quorvane-match"
[ ${#build_stage[@]} -eq 0 ] || match_stage="4/4 match: skipped"
for stage in "1/4 datagen" "2/4 fit" "3/4 build" "$match_stage" "report:" "done in"; do
  grep -q "] $stage" "$log" || { cat "$log"; fail "no progress line for '$stage'"; }
done
if [ ${#build_stage[@]} -eq 0 ]; then
  [ -x "$out/run/build-tuned/quorvane" ] || fail "no tuned engine"
  grep -q '"games": 2,' "$out/run/match.json" || fail "the match summary does not count 2 games"
  [ "$(grep -c '^\[Event ' "$out/run/match.pgn")" = 2 ] || fail "the match PGN does not hold 2 games"
  grep -q "^Score of tuned vs default: " "$out/run/match.log" || fail "no match report"
  gen=$out/run/gen-2
  for stage in "generation 2, 1/4 datagen: 4 games at 300 nodes with gen1" "generation 2, 2/4 fit" \
    "generation 2, 3/4 build" "generation 2, 4/4 match: gen2 vs gen1" "best listing: $gen/tuned.txt"; do
    grep -q "] $stage" "$log" || { cat "$log"; fail "no progress line for '$stage'"; }
  done
  cmp -s "$out/run/tuned.txt" "$gen/start.txt" || fail "generation 2 did not start from generation 1"
  grep -q "^datagen: готово — 4 партій, " "$gen/datagen.log" || fail "generation 2's datagen did not finish"
  "$gen/build-tuned/quorvane" tuneparams | cmp -s - "$gen/tuned.txt" || fail "generation 2's engine"
  grep -q '"engines": \["gen2", "gen1"\]' "$gen/match.json" || fail "generation 2 did not play generation 1"
  cmp -s "$gen/tuned.txt" "$out/run/best.txt" || fail "best.txt is not the last accepted listing"
  [ -s "$gen/report.html" ] || fail "no report for generation 2"
  [ "$(grep -c '^<tr><td>[12]</td>' "$out/run/report.html")" = 2 ] || fail "the report lists no 2 generations"

  # Going on from a listing made earlier: it is generation 1 as it is (no data, fit or match of its
  # own), and generation 2's datagen starts at --seed.
  first=$out/first
  if ! bash "$source_dir/tools/tuneloop/tuneloop.sh" --build "$build_dir" --source "$source_dir" \
    --first "$out/run/best.txt" --generations 2 --seed 50 --next-games 4 --nodes 300 --threads 2 \
    --datagen 'maxdepth=4' --tune '--epochs 2 --batch 64' \
    --match "-each nodes=300 option.Hash=4 -games 2 -ratinginterval 0 $sprt" "$first" >"$log" 2>&1; then
    cat "$log"
    fail "the loop from a given listing failed"
  fi
  for stage in "1/4 datagen: skipped, generation 1 is $out/run/best.txt" "2/4 fit: skipped" \
    "4/4 match: skipped" "generation 2, 1/4 datagen: 4 games at 300 nodes with gen1" \
    "best listing: $first/gen-2/tuned.txt"; do
    grep -qF "] $stage" "$log" || { cat "$log"; fail "no progress line for '$stage'"; }
  done
  cmp -s "$out/run/best.txt" "$first/gen-2/start.txt" || fail "generation 2 did not start from the given listing"
  "$first/build-tuned/quorvane" tuneparams | cmp -s - "$out/run/best.txt" || fail "generation 1's engine"
  grep -q "seed=50 " "$first/gen-2/datagen.log" || fail "generation 2's datagen did not start at --seed"
  for made in data.txt tune.log match.json; do
    [ ! -e "$first/$made" ] || fail "generation 1 was remade: $first/$made"
  done
  [ "$(grep -c '^<tr><td>[12]</td>' "$first/report.html")" = 2 ] || fail "the report lists no 2 generations"
fi
grep -q "^datagen: готово — 6 партій, " "$out/run/datagen.log" || fail "datagen did not finish"
grep -q "^epoch 3/3 " "$out/run/tune.log" || fail "the fit did not run 3 epochs"
[ "$(wc -l <"$out/run/losses.tsv")" = 5 ] || fail "losses.tsv should hold a header and epochs 0..3"
! cmp -s "$out/run/start.txt" "$out/run/tuned.txt" || fail "the fit changed nothing"

report=$out/run/report.html
[ -s "$report" ] || fail "no report"
# One loss chart and 6 pieces x 2 phases x (before, after, change) boards, all inline.
[ "$(grep -o '<svg ' "$report" | wc -l)" = 37 ] || fail "the report should hold 37 charts"
grep -q '<polyline' "$report" || fail "the report has no loss curve"
! grep -Eq '(src|href)="http' "$report" || fail "the report loads something from outside"
echo "tuneloop: the loop ran end to end"
