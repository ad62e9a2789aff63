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

extern const u64 kCastleKingOcc[2];
extern const u64 kCastleKingSafe[2];
extern const u64 kCastleQueenOcc[2];
extern const u64 kCastleQueenSafe[2];
