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
// the king's own square and the queen lines through it. Any other move only empties a square off
// those lines, which uncovers nothing, so "is my king attacked after it" is known to be false
// without asking. En passant also empties a third square and is always asked. In check, every
// move is asked.
inline u64 kingExposingSquares(const Board& b, bool inCheck) {
  if (inCheck) return ~u64{0};
  const Square k = b.kingSquare(b.side);
  return bb(k) | Attacks::rankMask[k] | Attacks::fileMask[k] | Attacks::diagMask[k] | Attacks::adiagMask[k];
}

// After makeMove(m) by `us`: the same answer as isAttacked(our king, them), with the test skipped
// where kingExposingSquares (taken before the move) shows it false.
inline bool leftKingAttacked(const Board& b, Move m, Color us, u64 exposing) {
  if (!(exposing & bb(moveFrom(m))) && moveFlag(m) != kFlagEnPassant) return false;
  return b.isAttacked(b.kingSquare(us), us ^ 1);
}
