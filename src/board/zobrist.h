// Zobrist hashing keys, drawn once at start-up from a fixed-seed xorshift64* stream.
#pragma once

#include "board/types.h"

namespace Zobrist {

extern u64 pieceSquare[2][6][64];
extern u64 sideToMove;
extern u64 castling[16];
extern u64 enPassant[8];

void init();

}  // namespace Zobrist
