// Zobrist hashing keys, drawn once at start-up from a fixed-seed xorshift64* stream.
#pragma once

#include "types/types.h"

namespace Zobrist {

extern u64 pieceSquare[2][6][64];
extern u64 sideToMove;
extern u64 castling[16];
extern u64 enPassant[8];

void init();

// The key stream: xorshift64* from a fixed seed, so keys (and everything hashed with them) are
// identical in every run. init() draws the 793 keys in declaration order of the arrays above.
constexpr u64 kSeed = 0x123456789abcdef0ull;

inline u64 nextRandom(u64& state) {
  state ^= state >> 12;
  state ^= state << 25;
  state ^= state >> 27;
  return state * 0x2545f4914f6cdd1dull;
}

}  // namespace Zobrist
