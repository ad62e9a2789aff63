// Pseudo-legal and legal move generation in a fixed, observable emission order.
#pragma once

#include "board/board.h"

struct MoveList {
  Move moves[256];
  int size = 0;

  void add(Move m) { moves[size++] = m; }
  const Move* begin() const { return moves; }
  const Move* end() const { return moves + size; }
};

// The generators append at size; callers set size to 0 first.
void generateCaptures(const Board& b, MoveList& list);
void generateQuiets(const Board& b, MoveList& list);
void generateMoves(const Board& b, MoveList& list);
void generateLegalMoves(const Board& b, MoveList& list);

// The from-squares whose moves can leave the mover's king attacked when it is not in check now:
// the king's own square and our pieces pinned to it (the only piece between the king and an enemy
// slider on its line). Any other move only empties a square that shields nothing alone, and takes
// or blocks but never adds an enemy attack, so "is my king attacked after it" is known to be false
// without asking. En passant also empties a third square and is always asked. In check, every
// move is asked.
inline u64 kingExposingSquares(const Board& b, bool inCheck) {
  if (inCheck) return ~u64{0};
  const Color us = b.side;
  const Square k = b.kingSquare(us);
  const u64* enemy = b.pieces[us ^ 1];
  const u64 occ = b.occupied, own = b.byColor[us];
  // Our first pieces on each line from the king; an enemy slider seen through one of them pins it.
  // A sniper's own lines meet the king's other lines nowhere but on the king, so its attacks pick
  // out just the piece between.
  const u64 straight = rookAttacks(k, occ) & own, diagonal = bishopAttacks(k, occ) & own;
  u64 exposing = bb(k);
  for (u64 s = rookAttacks(k, occ ^ straight) & (enemy[Rook] | enemy[Queen]); s;)
    exposing |= rookAttacks(popLsb(s), occ) & straight;
  for (u64 s = bishopAttacks(k, occ ^ diagonal) & (enemy[Bishop] | enemy[Queen]); s;)
    exposing |= bishopAttacks(popLsb(s), occ) & diagonal;
  return exposing;
}

// After makeMove(m) by `us`: the same answer as isAttacked(our king, them), with the test skipped
// where kingExposingSquares (taken before the move) shows it false.
inline bool leftKingAttacked(const Board& b, Move m, Color us, u64 exposing) {
  if (!(exposing & bb(moveFrom(m))) && moveFlag(m) != kFlagEnPassant) return false;
  return b.isAttacked(b.kingSquare(us), us ^ 1);
}
