#!/usr/bin/env python3
"""Balanced random openings for matches, as EPD lines "FEN4 hmvc H; fmvn F;".

Candidate i is PLIES random legal moves from the start position, drawn over the legal moves sorted
by their UCI text with a SplitMix64 generator whose seed is output i of a SplitMix64 seeded with
SEED. It passes when Stockfish, searching a fixed number of nodes on one thread with a cleared hash,
scores it within +-CAP centipawns (no mate score; a shorter search first drops the clear cases).
The file holds the first COUNT passing candidates in candidate order whose position (the first four
FEN fields) is new: not chosen before and not in any --exclude file. Each candidate depends on the
seed and its index alone, so --jobs N (N engines side by side) writes the same file as one; the
scores depend on the Stockfish build as well (the log names it).

    tools/openings/openings.py --seed 2027 --count 600 --exclude params/openings.epd \\
        --out params/openings-holdout.epd
"""

import argparse
import concurrent.futures
import os
import subprocess
import sys
import tempfile

MASK64 = (1 << 64) - 1


class SplitMix64:
    def __init__(self, seed):
        self.state = seed & MASK64

    def next(self):
        self.state = (self.state + 0x9E3779B97F4A7C15) & MASK64
        z = self.state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK64
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK64
        return z ^ (z >> 31)

    def below(self, n):
        # Rejection keeps the draw uniform; n is at most a few hundred.
        limit = (1 << 64) - (1 << 64) % n
        while True:
            v = self.next()
            if v < limit:
                return v % n


class Engine:
    def __init__(self, path, hash_mb):
        self.proc = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     text=True, bufsize=1)
        self.send("uci")
        self.name = ""
        for line in self.until("uciok"):
            if line.startswith("id name "):
                self.name = line[len("id name "):]
        self.send("setoption name Threads value 1")
        self.send(f"setoption name Hash value {hash_mb}")
        self.sync()

    def send(self, text):
        self.proc.stdin.write(text + "\n")
        self.proc.stdin.flush()

    def until(self, prefix):
        lines = []
        while True:
            line = self.proc.stdout.readline()
            if not line:
                sys.exit("openings: the engine stopped")
            line = line.rstrip("\n")
            lines.append(line)
            if line.startswith(prefix):
                return lines

    def sync(self):
        self.send("isready")
        self.until("readyok")

    def position(self, moves):
        self.send("position startpos" + (" moves " + " ".join(moves) if moves else ""))

    def legal_moves(self, moves):
        self.position(moves)
        self.send("go perft 1")
        out = self.until("Nodes searched")
        return sorted(l.split(":")[0] for l in out if ":" in l and not l.startswith("Nodes"))

    def fen(self, moves):
        self.position(moves)
        self.send("d")
        for line in self.until("Checkers"):
            if line.startswith("Fen: "):
                return line[len("Fen: "):]
        sys.exit("openings: no FEN from the engine")

    def score(self, moves, nodes):
        """Score from the side to move's view in centipawns, or None for a mate score."""
        self.send("ucinewgame")
        self.sync()
        self.position(moves)
        self.send(f"go nodes {nodes}")
        score = None
        for line in self.until("bestmove"):
            words = line.split()
            if words[:1] == ["info"] and "score" in words:
                kind, value = words[words.index("score") + 1:words.index("score") + 3]
                score = int(value) if kind == "cp" else None
        return score

    def close(self):
        self.send("quit")
        self.proc.wait()


def position_of(fen):
    return " ".join(fen.split()[:4])


def candidate(engine, seed, plies, quick_nodes, quick_cap, nodes, cap):
    """The FEN of a passing candidate, or None."""
    rng = SplitMix64(seed)
    moves = []
    for _ in range(plies):
        legal = engine.legal_moves(moves)
        if not legal:
            return None
        moves.append(legal[rng.below(len(legal))])
    if not engine.legal_moves(moves):
        return None
    # A short search first throws out the clearly lost or won: most candidates are.
    for budget, limit in ((quick_nodes, quick_cap), (nodes, cap)):
        score = engine.score(moves, budget)
        if score is None or abs(score) > limit:
            return None
    return engine.fen(moves)


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--seed", type=int, required=True)
    p.add_argument("--count", type=int, default=600)
    p.add_argument("--plies", type=int, default=10)
    p.add_argument("--cap", type=int, default=60, help="largest |score| kept, centipawns (60)")
    p.add_argument("--nodes", type=int, default=100000, help="Stockfish nodes per score (100000)")
    p.add_argument("--quick-nodes", type=int, default=5000,
                   help="nodes of the first, coarse score (5000)")
    p.add_argument("--quick-cap", type=int, default=200,
                   help="largest |score| of the coarse score that goes on to the full one (200)")
    p.add_argument("--hash", type=int, default=16, help="Stockfish hash in MB (16)")
    p.add_argument("--jobs", type=int, default=1, help="engines side by side (1)")
    p.add_argument("--engine", default="/usr/games/stockfish")
    p.add_argument("--exclude", action="append", default=[],
                   help="EPD or FEN file whose positions must not be chosen; repeatable")
    p.add_argument("--out", required=True)
    a = p.parse_args()
    if min(a.count, a.nodes, a.quick_nodes, a.jobs) < 1 or min(a.plies, a.cap, a.quick_cap) < 0:
        sys.exit("openings: --count, --jobs and the node counts must be positive; --plies and the "
                 "caps not negative")

    taken = set()
    for path in a.exclude:
        with open(path) as f:
            taken.update(position_of(line) for line in f if line.strip())

    seeds = SplitMix64(a.seed)
    engines = [Engine(a.engine, a.hash) for _ in range(a.jobs)]
    print(f"openings: {engines[0].name}, seed {a.seed}, {a.plies} plies, |score| <= {a.cap} cp "
          f"at {a.nodes} nodes, {a.jobs} engines", file=sys.stderr)
    chosen = []
    tried = 0
    with concurrent.futures.ThreadPoolExecutor(a.jobs) as pool:
        while len(chosen) < a.count:
            # A batch of candidates, one engine each; results are taken in candidate order.
            batch = [seeds.next() for _ in range(a.jobs)]
            fens = pool.map(lambda job: candidate(engines[job[0]], job[1], a.plies, a.quick_nodes,
                                                  a.quick_cap, a.nodes, a.cap),
                            enumerate(batch))
            for fen in fens:
                if len(chosen) == a.count:
                    break
                tried += 1
                if fen is None or position_of(fen) in taken:
                    continue
                taken.add(position_of(fen))
                fields = fen.split()
                chosen.append(f"{position_of(fen)} hmvc {fields[4]}; fmvn {fields[5]};")
                if len(chosen) % 50 == 0:
                    print(f"  {len(chosen)}/{a.count} kept of {tried} tried", file=sys.stderr)
    for engine in engines:
        engine.close()

    # Whole or not at all: a temporary file beside the target, then a rename.
    folder = os.path.dirname(os.path.abspath(a.out))
    fd, tmp = tempfile.mkstemp(dir=folder, prefix=".openings-")
    try:
        with os.fdopen(fd, "w") as f:
            f.write("\n".join(chosen) + "\n")
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(tmp, 0o666 & ~umask)
        os.replace(tmp, a.out)
    except BaseException:
        os.unlink(tmp)
        raise
    print(f"openings: {len(chosen)} kept of {tried} tried -> {a.out}", file=sys.stderr)


if __name__ == "__main__":
    main()
