// Absolute pins, as the evaluation restricts the mobility of pinned pieces.
#pragma once

#include "board/board.h"

// Pieces of `us` pinned to their king by an enemy slider, and for each the line it may still move
// along (the squares between king and pinner, plus the pinner). pinRay is written only for squares
// in pinned. Needs gBetweenBB (Eval::init).
inline void computeAbsolutePins(const Board& b, Color us, u64& pinned, u64 pinRay[64]) {
  const Square k = b.kingSquare(us);
  const u64* enemy = b.pieces[us ^ 1];
  u64 candidates =
      ((Attacks::rankMask[k] | Attacks::fileMask[k]) & (enemy[Rook] | enemy[Queen])) |
      ((Attacks::diagMask[k] | Attacks::adiagMask[k]) & (enemy[Bishop] | enemy[Queen]));
  pinned = 0;
  while (candidates) {
    const Square p = popLsb(candidates);
    const u64 between = gBetweenBB[k][p];
    const u64 blockers = b.occupied & between;
    // Exactly one piece in between, and it is ours.
    if (blockers && !(blockers & (blockers - 1)) && (blockers & b.byColor[us])) {
      pinned |= blockers;
      pinRay[lsb(blockers)] = between | bb(p);
    }
  }
}
