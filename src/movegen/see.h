// Static exchange evaluation on a move's destination square.
#pragma once

#include "board/board.h"

namespace SEE {
extern const int kValue[7];  // indexed by Piece; NoPiece = 0
}

bool seeGE(const Board& b, Move m, int threshold);
int see(const Board& b, Move m);
