// Zobrist key tables, drawn once at start-up.
#include "board/zobrist.h"

namespace Zobrist {

u64 pieceSquare[2][6][64];
u64 sideToMove;
u64 castling[16];
u64 enPassant[8];

void init() {
  u64 state = kSeed;
  // The draw order is part of the key definition: pieces (colour, type, square), side, rights, files.
  for (Color c = White; c <= Black; ++c)
    for (Piece p = Pawn; p <= King; ++p)
      for (Square s = 0; s < 64; ++s) pieceSquare[c][p][s] = nextRandom(state);
  sideToMove = nextRandom(state);
  for (u64& k : castling) k = nextRandom(state);
  for (u64& k : enPassant) k = nextRandom(state);
}

}  // namespace Zobrist
