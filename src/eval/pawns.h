// Pawn structure (cached per thread by pawn key) and passed-pawn dynamics.
#pragma once

#include "board/board.h"
#include "eval/params.h"
#include "eval/terms.h"

// Pawn-structure counts, index 0 = White, 1 = Black. Callers zero it; computePawnFeatures adds.
struct PawnFeatures {
  u32 isolated[2];
  u32 doubled[2];
  u32 connected[2];
  u32 passed[2][8];  // by relative rank
  u32 candidate[2];
};

// One pawn-hash slot: the full pawn key, the structure score and the passed pawns on the 4th rank
// and beyond of both colours (they depend on the pawns alone, and most positions have none). The
// score is 32-bit: the slot is 24 bytes either way, and tuned weights may outgrow 16 bits.
struct PawnEntry {
  u64 key;
  u64 advancedPassers;
  i32 mg;
  i32 eg;
};
static_assert(sizeof(PawnEntry) == 24);

inline constexpr int kPawnTableSize = 16384;  // index = pawnKey & (size - 1)

void computePawnFeatures(const Board& b, PawnFeatures& pf);

// The weighted sum, White minus Black, recorded by tr (eval/terms.h).
template <class Tr>
ScorePair pawnFeatureScore(const PawnFeatures& pf, Tr& tr) {
  using namespace EvalParams;
  auto diff = [](const u32(&v)[2]) {
    return static_cast<int>(v[White]) - static_cast<int>(v[Black]);
  };
  const int isolated = diff(pf.isolated), doubled = diff(pf.doubled);
  const int connected = diff(pf.connected), candidate = diff(pf.candidate);
  ScorePair s;
  s.mg = mgParam(tr, kIsolatedMgIdx, isolated) * isolated +
         mgParam(tr, kDoubledMgIdx, doubled) * doubled +
         mgParam(tr, kConnectedMgIdx, connected) * connected + kCandidateMg * candidate;
  s.eg = egParam(tr, kIsolatedEgIdx, isolated) * isolated +
         egParam(tr, kDoubledEgIdx, doubled) * doubled +
         egParam(tr, kConnectedEgIdx, connected) * connected + kCandidateEg * candidate;
  tr.base(kCandidateMg * candidate, kCandidateEg * candidate);  // candidates are not tuned
  for (int r = 0; r < 8; ++r) {
    const int d = static_cast<int>(pf.passed[White][r]) - static_cast<int>(pf.passed[Black][r]);
    s.mg += passedMg(tr, r, d) * d;
    s.eg += passedEg(tr, r, d) * d;
  }
  return s;
}

// The calling thread's pawn hash. Never cleared: an entry depends on the pawn key alone, so it
// stays right forever; a zeroed slot 0 matches the pawnless key 0 and holds its correct score.
// constinit: no dynamic initialisation, so other files reach it without a TLS wrapper call.
extern thread_local constinit PawnEntry gPawnTable[kPawnTableSize];

ScorePair evalPawnsRaw(const Board& b);
ScorePair evalPawns(const Board& b);  // through the calling thread's pawn hash
// Fills slot e for b (a miss of the hash) and returns what evalPawns returns.
ScorePair storePawnEntry(const Board& b, PawnEntry& e, u64& advancedPassers);
// The same, also giving the advanced passed pawns of both colours that passerTerms walks. Inline:
// the evaluation calls it on every node and nine in ten are hits.
inline ScorePair evalPawns(const Board& b, u64& advancedPassers) {
  PawnEntry& e = gPawnTable[b.pawnKey & (kPawnTableSize - 1)];
  if (e.key != b.pawnKey) return storePawnEntry(b, e, advancedPassers);
  advancedPassers = e.advancedPassers;
  return {e.mg, e.eg};
}
u64 advancedPassersOf(const Board& b);
// Starts loading b's pawn-hash slot; evaluation asks for it only after the piece loop.
inline void prefetchPawnEntry(const Board& b) { __builtin_prefetch(&gPawnTable[b.pawnKey & (kPawnTableSize - 1)]); }

// Passed-pawn king distances and free path over the set from advancedPassersOf (or the hash);
// attackedBy are the complete attack maps. Overwrites mg and eg with the White-minus-Black values.
void passerTerms(const Board& b, const u64 attackedBy[2], u64 advancedPassers, int& mg, int& eg);
