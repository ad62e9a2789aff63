#!/usr/bin/env python3
"""One game of the installed engine against itself, each side behind its own polyglot adapter, with
this script as the xboard interface: it keeps the clocks and relays the moves, as xboard does with
two engines. It fails (exit status 1) on an illegal move, a crash, a hang or a time loss, whether
it sees it on the wire or finds it afterwards in the adapters' logs.

    python3 tools/polyglot/xboard_game.py --logs DIR [--engine /usr/games/quorvane] [--seconds 5]
"""

import argparse
import os
import queue
import re
import shutil
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
RESULT = re.compile(r"^(1-0|0-1|1/2-1/2)\s*(\{.*\})?")
LOG_LINE = re.compile(r"^(\d+\.\d+) (.*)$")
# Faults the adapter reports (refused or illegal moves, its own errors, an engine that died) and
# input the engine rejected.
LOG_FAULT = re.compile(r"illegal|error|fatal|signal|core dumped|resign|info string", re.IGNORECASE)
# Settings lines that name such words (the Resign option) without a fault.
LOG_SETTINGS = ("feature option=", "option name", "[PolyGlot]", "Setting PolyGlot option")


class Fault(Exception):
    pass


class Silence(Fault):
    pass


class Adapter:
    """One polyglot process; its output lines go to the shared queue as (side, line)."""

    def __init__(self, side, command, lines):
        self.side = side
        self.proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, text=True, bufsize=1)
        threading.Thread(target=self._read, args=(lines,), daemon=True).start()

    def _read(self, lines):
        for line in self.proc.stdout:
            lines.put((self.side, line.rstrip("\n")))
        lines.put((self.side, None))

    def send(self, text):
        try:
            self.proc.stdin.write(text + "\n")
            self.proc.stdin.flush()
        except (BrokenPipeError, OSError):
            raise Fault(f"{self.side}: the adapter is gone")


def next_line(lines, deadline, what):
    left = deadline - time.monotonic()
    try:
        side, line = lines.get(timeout=max(left, 0.001))
    except queue.Empty:
        raise Silence(f"no answer while waiting for {what}")
    if line is None:
        raise Fault(f"{side}: the adapter closed its output (engine or adapter crash)")
    if line.startswith("Illegal move") or line.startswith("Error") or "tellusererror" in line:
        raise Fault(f"{side}: {line}")
    return side, line


def play(args, lines, adapters, moves):
    base_ms = int(args.seconds * 1000)
    level = f"level 0 {args.seconds // 60}:{args.seconds % 60:02d} 0"
    for side in ("white", "black"):
        log = os.path.join(args.logs, f"{side}.log")
        if os.path.exists(log):
            os.remove(log)  # polyglot appends
        command = [args.polyglot, args.ini, "-ec", args.engine, "-lf", log, "-log", "true"]
        adapters[side] = Adapter(side, command, lines)
    for a in adapters.values():
        a.send("xboard")
        a.send("protover 2")
    ready = set()
    deadline = time.monotonic() + 10
    while len(ready) < 2:
        side, line = next_line(lines, deadline, "feature done=1")
        if line == "feature done=1":
            ready.add(side)
    for a in adapters.values():
        for command in ("new", "nopost", "easy", level):
            a.send(command)

    clock = {"white": base_ms, "black": base_ms}
    other = {"white": "black", "black": "white"}
    result, mover = None, "white"
    adapters["white"].send(f"time {base_ms // 10}")
    adapters["white"].send(f"otim {base_ms // 10}")
    adapters["white"].send("go")
    started = time.monotonic()
    while result is None:
        # A hung engine shows up as a clock that runs out; a second of grace tells it apart from a
        # slow reply.
        side, line = next_line(lines, started + (clock[mover] + args.margin) / 1000 + 1,
                               f"{mover}'s move: lost on time with {clock[mover]:.0f} ms left")
        if RESULT.match(line):
            result = line
            break
        if not line.startswith("move "):
            continue  # thinking output, pings, feature lines
        if side != mover:
            raise Fault(f"{side} moved out of turn: {line}")
        used = (time.monotonic() - started) * 1000
        clock[mover] -= used
        # The margin covers the relay through the adapter, outside the engine's control; the
        # engine's own time, from "go" to "bestmove", is held to the clock exactly in the log check.
        if clock[mover] < -args.margin:
            raise Fault(f"{mover} lost on time: {used:.0f} ms for ply {len(moves) + 1}, "
                        f"{clock[mover] + used:.0f} ms left before it")
        move = line.split()[1]
        moves.append(move)
        if len(moves) >= args.max_plies:
            result = f"1/2-1/2 {{ply limit of {args.max_plies} reached}}"
            break
        receiver = adapters[other[mover]]
        # Centiseconds; a clock inside the margin is shown as the least there is, not as none.
        receiver.send(f"time {max(int(clock[other[mover]]) // 10, 1)}")
        receiver.send(f"otim {max(int(clock[mover]) // 10, 1)}")
        receiver.send(f"usermove {move}")
        mover = other[mover]
        started = time.monotonic()

    # Let both adapters see the end, and catch a late complaint about the last move.
    for a in adapters.values():
        a.send(f"result {result.split()[0]} {{game over}}")
    deadline = time.monotonic() + 0.5
    try:
        while True:
            next_line(lines, deadline, "late output")
    except Silence:
        pass
    for a in adapters.values():
        a.send("quit")
    for a in adapters.values():
        try:
            a.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            a.proc.kill()
            raise Fault(f"{a.side}: the adapter did not exit after quit")
    return result, clock


def check_log(path, side, moves_made):
    """Faults in one adapter's log, and any "go" the engine answered later than its own clock."""
    problems, searches, quitting, go = [], 0, False, None
    own = "wtime" if side == "white" else "btime"
    with open(path, errors="replace") as log:
        for raw in log:
            m = LOG_LINE.match(raw.rstrip("\n"))
            if not m:
                continue
            stamp, text = float(m.group(1)), m.group(2)
            if text.startswith("GUI->Adapter: quit"):
                quitting = True
            if LOG_FAULT.search(text) and not any(s in text for s in LOG_SETTINGS):
                problems.append(text)
            if text.startswith("Engine->Adapter: EOF") and not quitting:
                problems.append("the engine closed its output during the game: " + text)
            exited = text.startswith("POLYGLOT Child exited with status")
            if exited and not text.endswith("status 0."):
                problems.append(text)
            g = re.match(rf"Adapter->Engine: go .*\b{own} (\d+)", text)
            if g:
                go = (stamp, int(g.group(1)))
            if text.startswith("Engine->Adapter: bestmove") and go:
                searches += 1
                used = (stamp - go[0]) * 1000
                if used > go[1]:
                    problems.append(f"time loss: bestmove after {used:.0f} ms with {go[1]} ms left")
                if text.split()[2] in ("0000", "(none)"):
                    problems.append("no move: " + text)
                go = None
    if moves_made is not None and searches != moves_made:
        problems.append(f"{searches} searches logged for {moves_made} moves played")
    return problems


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--engine", default="/usr/games/quorvane")
    p.add_argument("--polyglot", default=shutil.which("polyglot") or "/usr/games/polyglot")
    p.add_argument("--ini", default=os.path.join(HERE, "quorvane.ini"))
    p.add_argument("--logs", required=True, help="folder for the adapters' logs")
    p.add_argument("--seconds", type=int, default=5, help="clock of each side, no increment")
    p.add_argument("--margin", type=int, default=100,
                   help="milliseconds past the clock before a time loss, for the adapter's relay")
    p.add_argument("--max-plies", type=int, default=300, help="a draw after this many plies")
    args = p.parse_args()
    os.makedirs(args.logs, exist_ok=True)

    lines, adapters, moves = queue.Queue(), {}, []
    failed = False
    try:
        result, clock = play(args, lines, adapters, moves)
    except Fault as fault:
        print(f"xboard_game: FAILED after {len(moves)} plies: {fault}", file=sys.stderr)
        failed = True
    finally:
        for a in adapters.values():
            if a.proc.poll() is None:
                a.proc.kill()
                a.proc.wait()
    print(" ".join(f"{i // 2 + 1}. {m}" if i % 2 == 0 else m for i, m in enumerate(moves)))
    if not failed:
        print(f"{result}  ({len(moves)} plies; clocks left: white {clock['white'] / 1000:.2f} s, "
              f"black {clock['black'] / 1000:.2f} s)")
        if "polyglot" in result or "illegal" in result.lower():
            print(f"xboard_game: FAILED: the adapter ended the game: {result}", file=sys.stderr)
            failed = True
    # The logs are read in any case: they show what the wire did not (or why it failed).
    for i, side in enumerate(("white", "black")):
        path = os.path.join(args.logs, f"{side}.log")
        if not os.path.exists(path):
            continue
        made = None if failed else (len(moves) + 1 - i) // 2
        for problem in check_log(path, side, made):
            print(f"xboard_game: FAILED: {side}.log: {problem}", file=sys.stderr)
            failed = True
    if failed:
        print(f"xboard_game: the adapters' logs are in {args.logs}", file=sys.stderr)
        return 1
    print("xboard_game: no illegal move, crash or time loss in the game or in the adapters' logs")
    return 0


if __name__ == "__main__":
    sys.exit(main())
