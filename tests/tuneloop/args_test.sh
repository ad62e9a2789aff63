#!/usr/bin/env bash
# The tuning loop's arguments and refusals, fast: every case either stops before the first stage or
# fits a few data lines with --no-build. Each refusal must come before any stage runs and end with
# one "tuneloop: ..." line; each stage that fails must name itself and its log.
# Usage: args_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
loop=$source_dir/tools/tuneloop/tuneloop.sh
work=$(mktemp -d /tmp/quorvane-tuneloop-args-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# A build folder whose tuner can be made to misbehave: FAKE_FIT=silent exits with 0 and writes
# nothing (as --help would), except for the --check the loop makes first.
fake=$work/fake-build
mkdir -p "$fake/tools/tune"
ln -s "$build_dir/quorvane" "$fake/quorvane"
cat >"$fake/tools/tune/quorvane-tune" <<EOF
#!/usr/bin/env bash
if [ "\${FAKE_FIT:-}" = silent ] && [[ " \$* " != *" --check "* ]]; then exit 0; fi
exec "$build_dir/tools/tune/quorvane-tune" "\$@"
EOF
chmod +x "$fake/tools/tune/quorvane-tune"

# A PATH with what the loop needs, less the programs named.
path_without() {
  local dir=$work/path-without-$1 program
  mkdir -p "$dir"
  for program in bash env nproc dirname date mkdir ls rm grep cat head tee cmp python3 cmake node; do
    [[ " $* " == *" $program "* ]] && continue
    command -v "$program" >/dev/null && ln -sf "$(command -v "$program")" "$dir/$program"
  done
  echo "$dir"
}
no_python=$(path_without python3)
no_node=$(path_without node)

# A few data lines of self-play (seconds at this depth).
data=$work/data.txt
"$build_dir/quorvane" datagen games=2 nodes=100 maxdepth=2 out="$data" 2>/dev/null
touch "$work/runner.js"

# Runs the loop; its status, standard error and output land in $status, $err and $log.
run() {
  set +e
  log=$("$@" 2>"$work/err")
  status=$?
  set -e
  err=$(cat "$work/err")
}

# CASE: name | environment (VAR=value ...) | loop arguments | status | last line of standard error
# (a regular expression); OUT stands for the case's output folder, WORK for the scratch folder.
# The refusals come before any stage: their output holds no stage line.
cases=(
  "no folder||--no-match|1|^tuneloop: no output folder given$"
  "two folders||--no-match OUT OUT2|1|^tuneloop: more than one output folder: "
  "unknown option||--bogus OUT|1|^tuneloop: unknown option --bogus$"
  "a value missing||OUT --games|1|^tuneloop: --games needs a value$"
  "games not a number||--games 1e3 --no-match OUT|1|^tuneloop: --games needs a whole number, not '1e3'$"
  "no threads||--threads 0 --no-match OUT|1|^tuneloop: --threads needs at least 1$"
  "no generations||--generations 0 OUT|1|^tuneloop: --generations needs at least 1$"
  "next nodes not a number||--next-nodes 5k OUT|1|^tuneloop: --next-nodes needs a whole number, not '5k'$"
  "generations unmatched||--generations 2 --no-match OUT|1|^tuneloop: --generations 2 needs the tuned builds and their matches$"
  "generations outside runner||--generations 2 --match-runner WORK/runner.js OUT|1|^tuneloop: --generations needs quorvane-match for the SPRT's decision, not --match-runner$"
  "generations without SPRT||--generations 2 --match '-each nodes=10 -games 2' OUT|1|^tuneloop: --generations needs an SPRT in --match "
  "generations with a start||--generations 3 --tune '--start WORK/data.txt' OUT|1|^tuneloop: --generations starts each later fit from the last accepted listing; --tune must not set --start$"
  "first alone||--first WORK/data.txt OUT|1|^tuneloop: --first WORK/data.txt is generation 1; the loop needs --generations 2 or more to go on from it$"
  "first and data||--generations 2 --first WORK/data.txt --data WORK/data.txt OUT|1|^tuneloop: --first WORK/data.txt is generation 1 as it is; there is no fit for --data$"
  "no first listing||--generations 2 --first WORK/none.txt OUT|1|^tuneloop: no listing at WORK/none.txt$"
  "first not a listing||--generations 2 --first WORK/data.txt OUT|1|^tuneloop: the tuner refuses its settings: quorvane-tune: .*data.txt"
  "no data file||--data WORK/none.txt --no-match OUT|1|^tuneloop: no data file at WORK/none.txt$"
  "no openings||--openings WORK/none.epd OUT|1|^tuneloop: no openings file at WORK/none.epd$"
  "bad match option||--match '-each nodes=10 -games 3' OUT|1|^tuneloop: quorvane-match refuses its settings: quorvane-match: the match has 3 games; games are played in pairs, so it needs an even number$"
  "no Node.js|PATH=$no_node|--match-runner WORK/runner.js OUT|1|^tuneloop: the match runner needs Node.js \(node\), which is not on PATH$"
  "no Python|PATH=$no_python|--games 1 --no-build OUT|1|^tuneloop: the report needs Python 3 \(python3\), which is not on PATH$"
  "tuner help||--tune --help --no-build OUT|1|^tuneloop: --tune '--help' asks for the tuner's help text, which fits nothing$"
  "bad tuner option||--tune '--k 0' --no-build OUT|1|^tuneloop: the tuner refuses its settings: quorvane-tune: bad value for --k: '0' \(0 < X <= 100\)$"
  "bad freeze pattern||--tune '--freeze nosuch*' --no-build OUT|1|^tuneloop: the tuner refuses its settings: quorvane-tune: freeze pattern 'nosuch\*' matches no parameter$"
  "bad datagen key||--datagen bogus=1 --no-build OUT|1|^tuneloop: datagen refuses its settings: datagen: невідомий параметр: bogus$"
  "fit fails||--data WORK/data.txt --tune '--epochs 2 --k 1 --lr 1e12' --no-build OUT|1|^tuneloop: the fit failed; see OUT/tune.log$"
  "many cores|OMP_NUM_THREADS=65|--data WORK/data.txt --tune '--epochs 1' --no-build OUT|0|^$"
  "reused folder||--data WORK/data.txt --tune '--epochs 1' --no-build WORK/many-cores|1|^tuneloop: WORK/many-cores is not empty \(an earlier run\?\); give a new folder, or --reuse to replace what the stages make$"
  "silent fit|FAKE_FIT=silent|--build WORK/fake-build --data WORK/data.txt --reuse --no-build WORK/many-cores|1|^tuneloop: the fit wrote no WORK/many-cores/tuned.txt; see WORK/many-cores/tune.log$"
)
args=()
env_args=()
for case in "${cases[@]}"; do
  IFS='|' read -r name environment arguments want_status want_err <<<"$case"
  out=$work/${name// /-}
  arguments=${arguments//OUT/$out}
  arguments=${arguments//WORK/$work}
  want_err=${want_err//OUT/$out}
  want_err=${want_err//WORK/$work}
  # Arguments are words, except the quoted ones.
  eval "args=($arguments)"
  [[ " ${args[*]} " == *" --build "* ]] || args=(--build "$build_dir" "${args[@]}")
  # Should a refusal not come, the stages are short.
  args=(--games 1 --nodes 50 --datagen maxdepth=1 "${args[@]}")
  eval "env_args=($environment)"
  run env "${env_args[@]}" bash "$loop" "${args[@]}"
  [ "$status" = "$want_status" ] || fail "$name: status $status, not $want_status: $err"
  last=$(printf '%s\n' "$err" | tail -1)
  [[ $last =~ $want_err ]] || fail "$name: the last line of standard error is '$last', not /$want_err/"
  if [ "$want_status" != 0 ] && [[ $name != "fit fails" && $name != "silent fit" ]]; then
    ! grep -q '^\[tuneloop .*\] [0-9]/4 ' <<<"$log" || fail "$name: a stage ran before the refusal"
  fi
  # A refused run leaves its folder empty, so that the next one needs no --reuse.
  if [ "$want_status" != 0 ] && [ -d "$out" ] && [[ $name != "fit fails" ]]; then
    [ -z "$(ls -A "$out")" ] || fail "$name: the refused run left files in $out"
  fi
  if [ "$name" = "many cores" ]; then
    # nproc honours OMP_NUM_THREADS: on 65 cores the fit ran with the tuner's 64 threads.
    grep -q "; 64 threads$" "$out/tune.log" || fail "many cores: the fit did not run with 64 threads"
    [ -s "$out/report.html" ] || fail "many cores: no report"
  fi
done

# The silent fit in the reused folder: the stage removed the earlier fit's files first, so nothing
# of the earlier run can pass for this one, and no report was made over them.
for gone in tuned.txt losses.tsv report.html; do
  [ ! -e "$work/many-cores/$gone" ] || fail "silent fit: the earlier $gone is still there"
done
[ -s "$work/many-cores/start.txt" ] || fail "silent fit: no start.txt"

if [ "$failures" -gt 0 ]; then
  echo "tuneloop arguments: $failures failures" >&2
  exit 1
fi
echo "tuneloop arguments: ${#cases[@]} cases as expected"
