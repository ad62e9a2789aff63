// Perft: leaf count of the legal move tree, the correctness check of generation and make/unmake.
#include "movegen/perft.h"

#include <ostream>

#include "movegen/movegen.h"

// Every leaf is made and tested (no bulk counting at depth 1, no hashing), so the count also
// exercises makeMove/unmakeMove on the last ply; the king test is skipped only where it cannot
// find an attack (leftKingAttacked).
u64 perft(Board& b, int depth) {
  // A negative depth would otherwise recurse without end; it counts no sequences.
  if (depth <= 0) return depth == 0 ? 1 : 0;
  MoveList list;
  generateMoves(b, list);
  const Color us = b.side;
  const u64 exposing = kingExposingSquares(b, b.inCheck());
  u64 nodes = 0;
  for (int i = 0; i < list.size; ++i) {
    const Move m = list.moves[i];
    b.makeMove(m);
    if (!leftKingAttacked(b, m, us, exposing)) nodes += perft(b, depth - 1);
    b.unmakeMove(m);
  }
  return nodes;
}

u64 perftDivide(Board& b, int depth, std::ostream& out) {
  MoveList list;
  generateMoves(b, list);
  const Color us = b.side;
  u64 total = 0;
  for (int i = 0; i < list.size; ++i) {
    const Move m = list.moves[i];
    b.makeMove(m);
    if (!b.isAttacked(b.kingSquare(us), us ^ 1)) {
      const u64 n = perft(b, depth - 1);
      out << moveToString(m) << ": " << n << '\n';
      total += n;
    }
    b.unmakeMove(m);
  }
  out << "\nNodes searched: " << total << '\n';
  return total;
}

u64 perftBench(Board& b, std::ostream& out, void (*prepare)()) {
  static const char* const kFens[3] = {
      kStartFen,
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
  };
  u64 total = 0;
  for (int i = 0; i < 3; ++i) {
    b.setFen(kFens[i]);
    if (prepare) prepare();
    const u64 n = perft(b, 5);
    out << "pos " << i + 1 << ": " << n << " nodes\n";
    total += n;
  }
  out << "Total: " << total << " nodes\n";
  return total;
}
