// Leaf count of the legal move tree, without bulk counting or hashing.
#pragma once

#include <iosfwd>

#include "board/board.h"

u64 perft(Board& b, int depth);

// Divide output shared by the command line and the UCI loop: one line per legal root move, then
// "\nNodes searched: N\n". depth must be >= 1.
u64 perftDivide(Board& b, int depth, std::ostream& out);

// The "bench" subcommand's counts: perft to depth 5 of three positions set on b in turn, one
// "pos I: N nodes" line each, then "Total: N nodes". prepare, when given, runs after each position
// is set (the subcommand clears the transposition table there). Returns the total.
u64 perftBench(Board& b, std::ostream& out, void (*prepare)() = nullptr);
