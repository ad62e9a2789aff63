// Precomputed attack tables and the magic-bitboard slider lookups.
#pragma once

#include "types/types.h"

#if defined(QUORVANE_PEXT)
#include <immintrin.h>
#endif

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

inline u64 magicRookAttacks(Square s, u64 occ) {
  const Attacks::Magic& e = Attacks::rookMagic[s];
  return e.attacks[((occ & e.mask) * e.magic) >> e.shift];
}
inline u64 magicBishopAttacks(Square s, u64 occ) {
  const Attacks::Magic& e = Attacks::bishopMagic[s];
  return e.attacks[((occ & e.mask) * e.magic) >> e.shift];
}

#if defined(QUORVANE_PEXT)
// With BMI2 the occupancy index is a pext, and each attack set is stored as the 16-bit pext of
// its empty-board rays (at most 14 squares): 200 KB of rook entries instead of 800 KB, so far more
// of them stay in the L2 cache during a search.
namespace Attacks {
struct PextSlider {
  u64 mask;  // the relevant occupancy, as for the magics
  u64 rays;  // the attacks on an empty board
  const u16* attacks;
};
extern PextSlider rookPext[64];
extern PextSlider bishopPext[64];
}  // namespace Attacks

inline u64 rookAttacks(Square s, u64 occ) {
  const Attacks::PextSlider& e = Attacks::rookPext[s];
  return _pdep_u64(e.attacks[_pext_u64(occ, e.mask)], e.rays);
}
inline u64 bishopAttacks(Square s, u64 occ) {
  const Attacks::PextSlider& e = Attacks::bishopPext[s];
  return _pdep_u64(e.attacks[_pext_u64(occ, e.mask)], e.rays);
}
#else
inline u64 rookAttacks(Square s, u64 occ) { return magicRookAttacks(s, occ); }
inline u64 bishopAttacks(Square s, u64 occ) { return magicBishopAttacks(s, occ); }
#endif
inline u64 queenAttacks(Square s, u64 occ) { return rookAttacks(s, occ) | bishopAttacks(s, occ); }

// Squares attacked by the pawns of colour c in the set x (no wrapping across the a- and h-files).
// Turned around, pawnAttacksOf(c ^ 1, targets) are the squares from which a pawn of c attacks one
// of targets.
constexpr u64 pawnAttacksOf(Color c, u64 x) {
  return c == White ? ((x << 7) & ~kFileH) | ((x << 9) & ~kFileA) : ((x >> 9) & ~kFileH) | ((x >> 7) & ~kFileA);
}
