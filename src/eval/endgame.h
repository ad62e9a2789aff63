// End-game knowledge: KPK bitbase, scale factors, king proximity.
#pragma once

#include "board/board.h"

namespace Endgame {
void init();
bool kpkWin(Color strong, Square strongKing, Square pawn, Square weakKing, Color sideToMove);
int krpkrScale(Color strong, Square strongKing, Square strongRook, Square pawn, Square weakKing,
               Square weakRook, Color sideToMove);
}  // namespace Endgame

// King-and-pawn-versus-king wins, one bit per normalised position (pawn side White, pawn on files
// a-d): index = (6 - pawn rank) * 32768 + pawn file * 8192 + side * 4096 + weak king * 64 +
// strong king, side 0 when the pawn side is to move. Built by Endgame::init.
inline constexpr int kKPKPositions = 196608;
extern u32 gKPK[kKPKPositions / 32];

// Factor out of 64 for the endgame sum; the sign of eg picks the stronger side (0 = White).
int egScaleFactor(const Board& b, int eg);
// Mop-up and knight-and-bishop mate bonus, White minus Black, endgame only.
int kingProximityEg(const Board& b, int npmWhite, int npmBlack);
