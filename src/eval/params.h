// Evaluation weights other than material and piece squares, the score pair type, and the king
// masks the evaluation shares with the tuning code.
#pragma once

#include "board/types.h"
#include "eval/psqt.h"

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

namespace EvalParams {

namespace EvalDetail {
// Mobility rows are linear in the number of counted squares: base + step * n up to the largest
// count the piece can reach, 0 beyond it.
constexpr void fillRow(int (&row)[28], int base, int step, int maxCount) {
  for (int n = 0; n < 28; ++n) row[n] = n <= maxCount ? base + step * n : 0;
}
struct MobilityTables {
  int mg[6][28]{};
  int eg[6][28]{};
  constexpr MobilityTables() {
    fillRow(mg[Knight], -24, 6, 8);
    fillRow(mg[Bishop], -20, 4, 13);
    fillRow(eg[Bishop], -35, 7, 13);
    fillRow(mg[Rook], -30, 5, 14);
    fillRow(eg[Rook], -24, 4, 14);
    fillRow(eg[Queen], -48, 6, 27);
  }
};
inline constexpr MobilityTables kMobility{};
}  // namespace EvalDetail

// [piece type][number of counted squares]; pawn and king rows, knight endgame and queen
// middlegame rows are all 0.
inline constexpr const int (&kMobilityMg)[6][28] = EvalDetail::kMobility.mg;
inline constexpr const int (&kMobilityEg)[6][28] = EvalDetail::kMobility.eg;

// King danger by attack units, capped at 15.
inline constexpr int kKsSafetyTable[16] = {0,   -1,  4,   23,  41,  65,  142, 131,
                                           258, 439, 723, 428, 480, 580, 690, 800};

inline constexpr int kBishopPair = 56;  // same value in both halves
inline constexpr int kRookOpenMg = 51;
inline constexpr int kRookOpenEg = -3;
inline constexpr int kRookSemiMg = 20;
inline constexpr int kRookSemiEg = 24;

// Passed pawns by relative rank 0..7 (ranks 0 and 7 cannot hold a pawn).
inline constexpr int kPassedMg[8] = {0, 2, -12, -12, 9, 40, 6, 0};
inline constexpr int kPassedEg[8] = {0, 13, 24, 51, 75, 105, 25, 0};
inline constexpr int kIsolatedMg = -8;
inline constexpr int kIsolatedEg = -10;
inline constexpr int kDoubledMg = -10;
inline constexpr int kDoubledEg = -10;
inline constexpr int kConnectedMg = 7;
inline constexpr int kConnectedEg = 6;
inline constexpr int kCandidateMg = 5;  // not tuned
inline constexpr int kCandidateEg = 15;

inline constexpr int kKsOpenFile = 31;    // subtracted per pawnless file next to the king
inline constexpr int kShelterPawn = 10;   // per king-side file with a pawn in front of the king

// King-attack tally of one piece by type: "near" when it hits the king's ring, "zone" when it only
// reaches the wider zone in front of the king. Pawn and king entries are unused.
inline constexpr int kKingAttackNear[6] = {0, 40, 50, 80, 160, 0};
inline constexpr int kKingAttackZone[6] = {0, 20, 25, 40, 80, 0};
inline constexpr int kAttackUnitsNear = 2;
inline constexpr int kAttackUnitsZone = 1;

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
