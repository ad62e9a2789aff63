#!/usr/bin/env bash
# A short check of quorvane-match with real engines, as CI runs it: a match of two builds of the
# engine at fixed nodes, then one game pair against another engine at fixed depth (toga2 does not
# take "go nodes"). Checks the PGN (games, results, every move replayed by pgn-extract), the JSON
# (counts, pentanomial, no fault) and the exit statuses. The opponent plays without its own book
# (OwnBook, an option engines without a book ignore).
#   tools/match/ci_match.sh MATCH ENGINE_A ENGINE_B OPPONENT OPENINGS [CONCURRENCY]
set -euo pipefail
[ $# -ge 5 ] || { echo "usage: $0 MATCH ENGINE_A ENGINE_B OPPONENT OPENINGS [CONCURRENCY]" >&2; exit 1; }
match=$1 a=$2 b=$3 opponent=$4 openings=$5 concurrency=${6:-2}
replay=$(command -v pgn-extract || echo /usr/games/pgn-extract)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# check NAME GAMES: the summary and the PGN of one match agree and hold no fault.
check() {
  python3 - "$out/$1.json" "$out/$1.pgn" "$2" <<'PY'
import json, re, sys
summary, pgn, games = json.load(open(sys.argv[1])), open(sys.argv[2]).read(), int(sys.argv[3])
def fail(why):
    sys.exit(f"{sys.argv[1]}: {why}")
if summary["games"] != games or summary["wins"] + summary["draws"] + summary["losses"] != games:
    fail(f"{summary['games']} games, W/D/L {summary['wins']}/{summary['draws']}/{summary['losses']}, expected {games}")
if len(summary["pentanomial"]) != 5 or 2 * sum(summary["pentanomial"]) != games:
    fail(f"pentanomial {summary['pentanomial']} does not count {games // 2} pairs")
if not summary["complete"] or any(n for f in summary["faults"].values() for n in f.values()):
    fail(f"faults or an unfinished match: {summary['faults']}")
results = re.findall(r'^\[Result "([^"]+)"\]', pgn, re.M)
if results != [g["result"] for g in summary["records"]] or len(results) != games:
    fail(f"PGN results {results} differ from the summary's")
if any(r not in ("1-0", "0-1", "1/2-1/2") for r in results):
    fail(f"an unfinished result in {results}")
print(f"{sys.argv[1]}: {games} games, W/D/L {summary['wins']}/{summary['draws']}/{summary['losses']}, "
      f"pentanomial {summary['pentanomial']}, no fault")
PY
  # pgn-extract replays every move with its own rules; a move it cannot make drops the game.
  local report
  report=$("$replay" -r "$out/$1.pgn" 2>&1)
  grep -q "^$2 games matched out of $2\.$" <<<"$report" || { echo "$report"; echo "pgn-extract refused $1.pgn"; exit 1; }
}

"$match" -engine cmd="$a" name=gcc -engine cmd="$b" name=clang -each nodes=5000 option.Hash=8 \
  -openings file="$openings" format=epd order=random -seed 1 -games 8 -concurrency "$concurrency" \
  -sprt elo0=-10 elo1=10 -ratinginterval 4 -pgnout "$out/builds.pgn" -jsonout "$out/builds.json"
check builds 8

"$match" -engine cmd="$a" name=quorvane nodes=20000 option.Hash=8 -engine cmd="$opponent" name=opponent depth=6 \
  option.OwnBook=false -openings file="$openings" format=epd order=random -seed 1 -games 2 \
  -concurrency "$concurrency" -pgnout "$out/opponent.pgn" -jsonout "$out/opponent.json"
check opponent 2
