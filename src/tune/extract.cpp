// Feature extraction: the evaluation's terms counted per parameter, mirroring evaluate term by
// term, and the reconstruction of an evaluation from a trace and a vector.
#include <algorithm>
#include <cstring>

#include "eval/bits.h"
#include "eval/endgame.h"
#include "eval/eval.h"
#include "eval/pawns.h"
#include "tune/tune.h"

using namespace EvalBits;

namespace Tune {

namespace {

// White adds, Black subtracts: every coefficient is a White-minus-Black count.
constexpr int sign(Color c) { return c == White ? 1 : -1; }

void materialAndSquares(const Board& b, Trace& t) {
  for (Color c = White; c <= Black; ++c) {
    const int sg = sign(c);
    for (int p = Pawn; p <= Queen; ++p)
      for (u64 set = b.pieces[c][p]; set;) {
        const Square s = popLsb(set);
        const int i = c == White ? s ^ 56 : s;
        t.coefMg[kMatMg + p] += sg;
        t.coefMg[kPstMg + 64 * p + i] += sg;
        t.coefEg[kMatEg + p] += sg;
        if (p == Pawn) {
          t.coefEg[kPawnEg + i] += sg;
        } else {
          // The endgame square value of a piece is its middlegame value plus a delta.
          t.coefEg[kPstMg + 64 * p + i] += sg;
          t.coefEg[kPstEgDelta + 64 * p + i] += sg;
        }
      }
    const Square k = b.kingSquare(c);
    const int i = c == White ? k ^ 56 : k;
    t.coefMg[kPstMg + 64 * King + i] += sg;
    t.coefEg[kKingEg + i] += sg;
  }
}

template <Piece T>
u64 attacksOf(Square s, u64 occ) {
  if constexpr (T == Knight) return Attacks::knightAttacks[s];
  if constexpr (T == Bishop) return bishopAttacks(s, occ);
  if constexpr (T == Rook) return rookAttacks(s, occ);
  if constexpr (T == Queen) return queenAttacks(s, occ);
}

// Mobility counts the squares a piece attacks outside its own pieces and the enemy's pawn
// attacks; a pinned piece only those along its pin line. Rooks also score their file here.
template <Piece T>
void mobility(const Board& b, Color c, const u64 area, u64 pinned, const u64* pinRay, Trace& t) {
  const int sg = sign(c);
  for (u64 set = b.pieces[c][T]; set;) {
    const Square s = popLsb(set);
    const u64 a = attacksOf<T>(s, b.occupied);
    const u64 moves = (pinned & bb(s)) ? a & pinRay[s] : a;
    const int n = popcount(moves & area);
    t.coefMg[kMobMgStart[T] + n] += sg;
    t.coefEg[kMobEgStart[T] + n] += sg;
    if constexpr (T == Rook) {
      const u64 file = kFileA << fileOf(s);
      if (!(file & b.pieces[c][Pawn])) {
        const bool semi = file & b.pieces[c ^ 1][Pawn];
        t.coefMg[semi ? kRookSemiMgIdx : kRookOpenMgIdx] += sg;
        t.coefEg[semi ? kRookSemiEgIdx : kRookOpenEgIdx] += sg;
      }
    }
  }
}

void pieces(const Board& b, Trace& t) {
  const u64 pawnAtt[2] = {pawnAttacksOf(White, b.pieces[White][Pawn]),
                          pawnAttacksOf(Black, b.pieces[Black][Pawn])};
  for (Color c = White; c <= Black; ++c) {
    u64 pinned;
    u64 pinRay[64];
    computeAbsolutePins(b, c, pinned, pinRay);
    const u64 area = ~(b.byColor[c] | pawnAtt[c ^ 1]);
    mobility<Knight>(b, c, area, pinned, pinRay, t);
    mobility<Bishop>(b, c, area, pinned, pinRay, t);
    mobility<Rook>(b, c, area, pinned, pinRay, t);
    mobility<Queen>(b, c, area, pinned, pinRay, t);
  }
}

void pawnStructure(const Board& b, Trace& t) {
  PawnFeatures pf{};
  computePawnFeatures(b, pf);
  auto diff = [](const u32 (&v)[2]) { return static_cast<int>(v[White]) - static_cast<int>(v[Black]); };
  for (int r = 0; r < 8; ++r) {
    const int d = static_cast<int>(pf.passed[White][r]) - static_cast<int>(pf.passed[Black][r]);
    t.coefMg[kPassedMgIdx + r] += d;
    t.coefEg[kPassedEgIdx + r] += d;
  }
  t.coefMg[kIsolatedMgIdx] += diff(pf.isolated);
  t.coefEg[kIsolatedEgIdx] += diff(pf.isolated);
  t.coefMg[kDoubledMgIdx] += diff(pf.doubled);
  t.coefEg[kDoubledEgIdx] += diff(pf.doubled);
  t.coefMg[kConnectedMgIdx] += diff(pf.connected);
  t.coefEg[kConnectedEgIdx] += diff(pf.connected);
  // Candidate passers are not tuned.
  t.mgBase += EvalParams::kCandidateMg * diff(pf.candidate);
  t.egBase += EvalParams::kCandidateEg * diff(pf.candidate);

  u64 attackedBy[2];
  computeAttackedBy(b, attackedBy);
  int mg, eg;
  passerTerms(b, attackedBy, mg, eg);
  t.mgBase += mg;
  t.egBase += eg;
}

// Danger to each king from the other side's attack tally, less its pawn shelter. Only the table
// entry and the open-file weight are tuned; the attack weight and the shield bonus stay fixed.
void kingSafety(const Board& b, Trace& t) {
  for (Color king = White; king <= Black; ++king) {
    const int sg = -sign(king);
    int units, weight;
    kingAttackTally(b, king ^ 1, units, weight);
    if (units >= 1) t.coefMg[kKsSafetyIdx + std::min(units, 15)] += sg;
    int shielded, openFiles;
    if (kingShelterCounts(b, king, shielded, openFiles)) {
      t.coefMg[kKsOpenFileIdx] += sg * openFiles;
      t.mgBase += sg * (weight / 5 - EvalParams::kShelterPawn * shielded);
    } else {
      t.mgBase += sg * (weight / 5);
    }
  }
}

}  // namespace

void extract(const Board& b, Trace& t) {
  t.mgBase = t.egBase = 0;
  std::memset(t.coefMg, 0, sizeof(t.coefMg));
  std::memset(t.coefEg, 0, sizeof(t.coefEg));

  materialAndSquares(b, t);
  t.egBase += kingProximityEg(b, b.nonPawnMaterial[White], b.nonPawnMaterial[Black]);

  const int pair = (popcount(b.pieces[White][Bishop]) >= 2) - (popcount(b.pieces[Black][Bishop]) >= 2);
  t.coefMg[kBishopPairIdx] += pair;
  t.coefEg[kBishopPairIdx] += pair;

  pieces(b, t);
  pawnStructure(b, t);
  kingSafety(b, t);

  int phase = 0;
  for (Color c = White; c <= Black; ++c) {
    const u64* p = b.pieces[c];
    phase += popcount(p[Knight]) + popcount(p[Bishop]) + 2 * popcount(p[Rook]) + 4 * popcount(p[Queen]);
  }
  t.phase = std::min(phase, 24);

  // The scale factor depends on the sign of the endgame sum, so it is fixed here with the
  // engine's own values.
  static const auto kDefaults = [] {
    struct Values {
      int v[NPARAMS];
    } d;
    initValues(d.v);
    return d;
  }();
  int eg = t.egBase;
  for (int i = 0; i < NPARAMS; ++i) eg += t.coefEg[i] * kDefaults.v[i];
  t.scale = egScaleFactor(b, eg);
}

int reconstruct(const Board& b, const Trace& t, const int v[NPARAMS]) {
  int mg = t.mgBase, eg = t.egBase;
  for (int i = 0; i < NPARAMS; ++i) {
    mg += t.coefMg[i] * v[i];
    eg += t.coefEg[i] * v[i];
  }
  int x = (mg * t.phase + (eg * t.scale / 64) * (24 - t.phase)) / 24;
  // The clock is capped like the evaluation caps it, so the damping never flips the sign.
  const int clock = std::min<int>(b.halfmoveClock, 200);
  x = x * (200 - clock) / 200;
  return b.side == White ? x : -x;
}

}  // namespace Tune
