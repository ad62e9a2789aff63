// End-game knowledge: KPK bitbase, scale factors, king proximity.
#pragma once

#include "board/board.h"

namespace Endgame {
void init();
bool kpkWin(Color strong, Square strongKing, Square pawn, Square weakKing, Color sideToMove);
int krpkrScale(Color strong, Square strongKing, Square strongRook, Square pawn, Square weakKing,
               Square weakRook, Color sideToMove);
}  // namespace Endgame

int egScaleFactor(const Board& b, int eg);
int kingProximityEg(const Board& b, int npmWhite, int npmBlack);
