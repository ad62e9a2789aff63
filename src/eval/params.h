// The evaluation's numbers: the tables read from the tuned parameter vector (built from a listing,
// see eval/paramlist.h), the few fixed weights that are not tuned, the score pair type, and the
// king masks the evaluation shares with the tuning code.
#pragma once

#include "types/types.h"
#include "eval/param_values.h"  // generated: EvalParams::kParamValues
#include "eval/paramlist.h"

// A middlegame and an endgame value, blended by the game phase at the end of the evaluation.
struct ScorePair {
  i32 mg = 0;
  i32 eg = 0;

  constexpr ScorePair& operator+=(ScorePair o) {
    mg += o.mg;
    eg += o.eg;
    return *this;
  }
  constexpr ScorePair& operator-=(ScorePair o) {
    mg -= o.mg;
    eg -= o.eg;
    return *this;
  }
  friend constexpr ScorePair operator+(ScorePair a, ScorePair b) { return a += b; }
  friend constexpr ScorePair operator-(ScorePair a, ScorePair b) { return a -= b; }
  friend constexpr bool operator==(ScorePair a, ScorePair b) = default;
};

// Both halves in one word, mg * 2^32 + eg, so that a sum of pairs takes one addition; unpackPair
// gives back the sums exactly while each stays within 32 bits.
constexpr i64 packPair(int mg, int eg) { return static_cast<i64>(mg) * (i64{1} << 32) + eg; }
constexpr ScorePair unpackPair(i64 p) {
  const i32 eg = static_cast<i32>(static_cast<u32>(p));
  return {static_cast<i32>((p - eg) >> 32), eg};
}

namespace EvalParams {

// The parameters whose values add up to the material and square value of a piece of type t on
// table index i, in half h (0 middlegame, 1 endgame). Kings have no material (the king term scores
// their squares); pawns and kings take their endgame squares from tables of their own, so their
// delta rows are not used (a listing must keep them 0).
struct SquareParams {
  int count;
  int index[3];
};
constexpr SquareParams squareParams(int h, Piece t, int i) {
  if (t == King) return {1, {h == 0 ? kPstMg + 64 * King + i : kKingEg + i, 0, 0}};
  if (h == 0) return {2, {kMatMg + t, kPstMg + 64 * t + i, 0}};
  if (t == Pawn) return {2, {kMatEg + Pawn, kPawnEg + i, 0}};
  return {3, {kMatEg + t, kPstMg + 64 * t + i, kPstEgDelta + 64 * t + i}};
}

namespace EvalDetail {
// The vector's blocks laid out as the evaluation indexes them.
struct Tables {
  int mgValue[6]{};  // king 0
  int egValue[6]{};
  int pstMg[6][64]{};
  int pawnEg[64]{};
  int kingEg[64]{};
  int square[2][6][64]{};  // squareParams summed
  int mobMg[6][28]{};      // 0 beyond the largest count a piece can reach, and for pawns and kings
  int mobEg[6][28]{};
  i64 mobPair[6][28]{};  // both halves packed (packPair)
  int ksSafety[16]{};
  int passedMg[8]{};
  int passedEg[8]{};
  constexpr Tables() {
    const int* v = kParamValues;
    for (Piece t = Pawn; t <= Queen; ++t) {
      mgValue[t] = v[kMatMg + t];
      egValue[t] = v[kMatEg + t];
    }
    for (int i = 0; i < 64; ++i) {
      pawnEg[i] = v[kPawnEg + i];
      kingEg[i] = v[kKingEg + i];
      for (Piece t = Pawn; t <= King; ++t) {
        pstMg[t][i] = v[kPstMg + 64 * t + i];
        for (int h = 0; h < 2; ++h) {
          const SquareParams p = squareParams(h, t, i);
          for (int k = 0; k < p.count; ++k) square[h][t][i] += v[p.index[k]];
        }
      }
    }
    for (Piece t = Knight; t <= Queen; ++t)
      for (int n = 0; n < kMobRows[t]; ++n) {
        mobMg[t][n] = v[kMobMgStart[t] + n];
        mobEg[t][n] = v[kMobEgStart[t] + n];
        mobPair[t][n] = packPair(mobMg[t][n], mobEg[t][n]);
      }
    for (int u = 0; u < 16; ++u) ksSafety[u] = v[kKsSafetyIdx + u];
    for (int r = 0; r < 8; ++r) {
      passedMg[r] = v[kPassedMgIdx + r];
      passedEg[r] = v[kPassedEgIdx + r];
    }
  }
};
inline constexpr Tables kTables{};
}  // namespace EvalDetail

// Material by piece type (pawn..king, king 0).
inline constexpr const int (&kMgValue)[6] = EvalDetail::kTables.mgValue;
inline constexpr const int (&kEgValue)[6] = EvalDetail::kTables.egValue;
// Piece squares, printed as White sees the board: index 0 = a8, 63 = h1; White reads s ^ 56.
inline constexpr const int (&kPSTMG)[6][64] = EvalDetail::kTables.pstMg;
inline constexpr const int (&kPSTEGPawn)[64] = EvalDetail::kTables.pawnEg;
inline constexpr const int (&kKingEG)[64] = EvalDetail::kTables.kingEg;
// [half][type][table index]: material plus square value, as kPsq and the king term use them.
inline constexpr const int (&kSquareValue)[2][6][64] = EvalDetail::kTables.square;
// [piece type][number of counted squares].
inline constexpr const int (&kMobilityMg)[6][28] = EvalDetail::kTables.mobMg;
inline constexpr const int (&kMobilityEg)[6][28] = EvalDetail::kTables.mobEg;
inline constexpr const i64 (&kMobilityPair)[6][28] = EvalDetail::kTables.mobPair;
// King danger by attack units, capped at 15.
inline constexpr const int (&kKsSafetyTable)[16] = EvalDetail::kTables.ksSafety;
// Passed pawns by relative rank 0..7 (ranks 0 and 7 cannot hold a pawn).
inline constexpr const int (&kPassedMg)[8] = EvalDetail::kTables.passedMg;
inline constexpr const int (&kPassedEg)[8] = EvalDetail::kTables.passedEg;

inline constexpr int kBishopPair = kParamValues[kBishopPairIdx];  // same value in both halves
inline constexpr int kRookOpenMg = kParamValues[kRookOpenMgIdx];
inline constexpr int kRookOpenEg = kParamValues[kRookOpenEgIdx];
inline constexpr int kRookSemiMg = kParamValues[kRookSemiMgIdx];
inline constexpr int kRookSemiEg = kParamValues[kRookSemiEgIdx];
inline constexpr int kIsolatedMg = kParamValues[kIsolatedMgIdx];
inline constexpr int kIsolatedEg = kParamValues[kIsolatedEgIdx];
inline constexpr int kDoubledMg = kParamValues[kDoubledMgIdx];
inline constexpr int kDoubledEg = kParamValues[kDoubledEgIdx];
inline constexpr int kConnectedMg = kParamValues[kConnectedMgIdx];
inline constexpr int kConnectedEg = kParamValues[kConnectedEgIdx];
inline constexpr int kKsOpenFile = kParamValues[kKsOpenFileIdx];  // subtracted per pawnless file next to the king

// Fixed weights, not part of the tuned vector.
inline constexpr int kCandidateMg = 5;
inline constexpr int kCandidateEg = 15;
inline constexpr int kShelterPawn = 10;  // per king-side file with a pawn in front of the king
// King-attack tally of one piece by type: "near" when it hits the king's ring, "zone" when it only
// reaches the wider zone in front of the king. Pawn and king entries are unused.
inline constexpr int kKingAttackNear[6] = {0, 40, 50, 80, 160, 0};
inline constexpr int kKingAttackZone[6] = {0, 20, 25, 40, 80, 0};
inline constexpr int kAttackUnitsNear = 2;
inline constexpr int kAttackUnitsZone = 1;
// Non-pawn material lead (in middlegame values) from which the stronger king hunts the weaker one.
inline constexpr int kMopUpLead = 101;

}  // namespace EvalParams

namespace EvalDetail {
constexpr u64 kingRing(Square s) {
  u64 r = 0;
  for (int df = -1; df <= 1; ++df)
    for (int dr = -1; dr <= 1; ++dr) {
      const int f = fileOf(s) + df, rk = rankOf(s) + dr;
      if (f >= 0 && f < 8 && rk >= 0 && rk < 8) r |= bb(makeSquare(f, rk));
    }
  return r;  // includes s itself
}
struct KingMasks {
  u64 shield[2][64]{};
  u64 zone[2][64]{};
  constexpr KingMasks() {
    for (Color c = White; c <= Black; ++c)
      for (Square s = 0; s < 64; ++s) {
        const int f = fileOf(s), r = rankOf(s);
        const int dir = c == White ? 1 : -1;
        u64 sh = 0;
        for (int step = 1; step <= 2; ++step) {
          const int rr = r + dir * step;
          if (rr < 0 || rr > 7) continue;
          for (int ff = f > 0 ? f - 1 : 0; ff <= (f < 7 ? f + 1 : 7); ++ff) sh |= bb(makeSquare(ff, rr));
        }
        shield[c][s] = sh;
        zone[c][s] = kingRing(s) | sh;
      }
  }
};
inline constexpr KingMasks kKingMasks{};
}  // namespace EvalDetail

// Per king file: one bit per file for the king's file and its neighbours.
inline constexpr u8 kShieldFiles[8] = {0x03, 0x07, 0x0e, 0x1c, 0x38, 0x70, 0xe0, 0xc0};
// The squares one and two ranks in front of a king of colour c on its file and the neighbours.
inline constexpr const u64 (&kKingShield)[2][64] = EvalDetail::kKingMasks.shield;
// The king's square, its neighbours and its shield: where a piece "reaches the zone".
inline constexpr const u64 (&kKingZone)[2][64] = EvalDetail::kKingMasks.zone;
