// Precomputed attack tables and the magic-bitboard slider lookups.
#pragma once

#include "board/types.h"

namespace Attacks {

struct Magic {
  u64 mask;
  u64 magic;
  const u64* attacks;
  u32 shift;
};

extern u64 knightAttacks[64];
extern u64 kingAttacks[64];
extern u64 pawnAttacks[2][64];
extern u64 rankMask[64];
extern u64 fileMask[64];
extern u64 diagMask[64];
extern u64 adiagMask[64];
extern Magic rookMagic[64];
extern Magic bishopMagic[64];
extern u64 gRookTable[102400];
extern u64 gBishopTable[5248];
extern const u64 kRookMagic[64];
extern const u64 kBishopMagic[64];

void init();
u64 slidingAttacksRef(Square s, u64 occupancy, bool rook);
u64 relevantMask(Square s, bool rook);

}  // namespace Attacks

// Squares strictly between two aligned squares; filled by Eval::init.
extern u64 gBetweenBB[64][64];

inline u64 rookAttacks(Square s, u64 occ) {
  const Attacks::Magic& e = Attacks::rookMagic[s];
  return e.attacks[((occ & e.mask) * e.magic) >> e.shift];
}
inline u64 bishopAttacks(Square s, u64 occ) {
  const Attacks::Magic& e = Attacks::bishopMagic[s];
  return e.attacks[((occ & e.mask) * e.magic) >> e.shift];
}
inline u64 queenAttacks(Square s, u64 occ) { return rookAttacks(s, occ) | bishopAttacks(s, occ); }

// Squares attacked by the pawns of colour c in the set x (no wrapping across the a- and h-files).
// Turned around, pawnAttacksOf(c ^ 1, targets) are the squares from which a pawn of c attacks one
// of targets.
constexpr u64 pawnAttacksOf(Color c, u64 x) {
  return c == White ? ((x << 7) & ~kFileH) | ((x << 9) & ~kFileA) : ((x >> 9) & ~kFileH) | ((x >> 7) & ~kFileA);
}
