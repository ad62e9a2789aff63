// The evaluation function: one pass over the pieces for attacks, mobility, king attacks and rook
// files, then king safety, pawns, end-game scaling, the phase blend and the fifty-move damping.
#include "eval/eval.h"

#include "eval/bits.h"
#include "eval/endgame.h"
#include "eval/pawns.h"
#include "eval/pins.h"
#include "eval/terms.h"
#include "eval/trace.h"

using namespace EvalBits;

namespace {

template <Piece T>
inline u64 attacksFrom(Square s, u64 occ) {
  if constexpr (T == Knight) return Attacks::knightAttacks[s];
  if constexpr (T == Bishop) return bishopAttacks(s, occ);
  if constexpr (T == Rook) return rookAttacks(s, occ);
  if constexpr (T == Queen) return queenAttacks(s, occ);
}

inline u64 kingRing(Square k) { return Attacks::kingAttacks[k] | bb(k); }

// A bound on |mg| and |eg| of any position under the built-in numbers, term by term: at most 15
// men besides the king per side, 8 pawns, 15 attackers of a king. The blend and the fifty-move
// damping only shrink it. Parameters whose bound stays under kEvalLimit need no clamp.
constexpr int maxOf(const int* v, int n) {
  int m = v[0];
  for (int i = 1; i < n; ++i) m = v[i] > m ? v[i] : m;
  return m;
}
constexpr int minOf(const int* v, int n) {
  int m = v[0];
  for (int i = 1; i < n; ++i) m = v[i] < m ? v[i] : m;
  return m;
}
constexpr int abs32(int x) { return x < 0 ? -x : x; }
constexpr long long halfBound(int h) {
  using namespace EvalParams;
  const int(&square)[6][64] = kSquareValue[h];
  const int(&mob)[6][28] = h == 0 ? kMobilityMg : kMobilityEg;
  long long hi = 0, lo = 0;  // the best and worst single man, over all types and squares
  for (Piece t = Pawn; t <= Queen; ++t) {
    const int open = h == 0 ? kRookOpenMg : kRookOpenEg, semi = h == 0 ? kRookSemiMg : kRookSemiEg;
    const int file[3] = {0, t == Rook ? open : 0, t == Rook ? semi : 0};
    const int fileHi = maxOf(file, 3), fileLo = minOf(file, 3);
    const long long manHi = maxOf(square[t], 64) + maxOf(mob[t], 28) + fileHi;
    const long long manLo = minOf(square[t], 64) + minOf(mob[t], 28) + fileLo;
    hi = manHi > hi ? manHi : hi;
    lo = manLo < lo ? manLo : lo;
  }
  long long b = 15 * (hi - lo);
  b += maxOf(square[King], 64) - minOf(square[King], 64) + abs32(kBishopPair);
  if (h == 0) {
    const int shelter = 3 * abs32(kShelterPawn) + 3 * abs32(kKsOpenFile);
    b += maxOf(kKsSafetyTable, 16) + 15 * kKingAttackNear[Queen] / 5 - minOf(kKsSafetyTable, 16) + 2 * shelter;
  }
  const int(&passed)[8] = h == 0 ? kPassedMg : kPassedEg;
  const int passHi = maxOf(passed, 8), passLo = minOf(passed, 8);
  b += 8 * abs32(h == 0 ? kIsolatedMg : kIsolatedEg) + 7 * abs32(h == 0 ? kDoubledMg : kDoubledEg) +
       8 * abs32(h == 0 ? kConnectedMg : kConnectedEg) + 8 * abs32(h == 0 ? kCandidateMg : kCandidateEg) +
       8 * ((passHi > 0 ? passHi : 0) - (passLo < 0 ? passLo : 0));
  // passerTerms: 8 pawns a side, weights up to 17, free path up to 24, king term -10..25 per weight;
  // kingProximityEg: up to 5 * 14 + 10 * 6 + 30 * 7.
  b += h == 0 ? 8 * 24 * 17 / 8 : 8 * 35 * 17 / 4 + 8 * 24 * 17 / 4 + 340;
  return b;
}
constexpr bool kClampEval = halfBound(0) > kEvalLimit || halfBound(1) > kEvalLimit;
// White counts +1, Black -1 in every White-minus-Black sum.
constexpr int sideSign(Color c) { return c == White ? 1 : -1; }

// Shelter of c's king: 10 per shielded file minus ksOpenFile per file without own pawns, 0 on files
// d-f. sign is how the shelter enters the White-minus-Black king safety.
template <class Tr>
inline int shelter(const Board& b, Color c, int sign, Tr& tr) {
  const Square k = b.kingSquare(c);
  const int f = fileOf(k);
  if (f >= 3 && f <= 5) return 0;
  const unsigned files = kShieldFiles[f];
  const u64 pawns = b.pieces[c][Pawn];
  const int openFiles = std::popcount(files & ~fileSet(pawns) & 0xFFu);
  const int shielded = std::popcount(files & fileSet(pawns & kKingShield[c][k]));
  tr.base(sign * EvalParams::kShelterPawn * shielded, 0);
  return EvalParams::kShelterPawn * shielded -
         mgParam(tr, EvalParams::kKsOpenFileIdx, -sign * openFiles) * openFiles;
}

// Working state of one evaluation, all on the stack.
struct Ctx {
  u64 occ;
  u64 attackedBy[2];
  u64 pinned[2];
  u64 pinRay[2][64];
  u64 area[2];
  u64 ring[2];  // of each king
  u64 zone[2];
  u64 tally[2];     // of each attacking colour against the enemy king: units << 32 | weight
  i64 mobility[2];  // packed (packPair)
  int rookMg[2], rookEg[2];
};

// Attack units and weight of a piece by how close its attacks come to the enemy king: index
// bit 0 = the zone, bit 1 = the ring (the ring counts alone when both are hit). A table rather
// than the if-chain: which of the three applies is close to random from piece to piece.
constexpr int kTallyUnits[4] = {0, EvalParams::kAttackUnitsZone, EvalParams::kAttackUnitsNear,
                                 EvalParams::kAttackUnitsNear};
constexpr int tallyWeight(Piece t, int i) {
  return i >= 2 ? EvalParams::kKingAttackNear[t] : i == 1 ? EvalParams::kKingAttackZone[t] : 0;
}
// Units and weight in one word, so a piece adds both at once; neither is negative.
static_assert(minOf(EvalParams::kKingAttackNear, 6) >= 0 && minOf(EvalParams::kKingAttackZone, 6) >= 0);
constexpr u64 tallyEntry(Piece t, int i) {
  return u64{static_cast<u32>(kTallyUnits[i])} << 32 | static_cast<u32>(tallyWeight(t, i));
}

template <Piece T, class Tr>
inline void evalPieces(const Board& b, Color c, Ctx& x, Tr& tr) {
  using namespace EvalParams;
  static constexpr u64 kTally[4] = {tallyEntry(T, 0), tallyEntry(T, 1), tallyEntry(T, 2), tallyEntry(T, 3)};
  const Color them = c ^ 1;
  const int sign = sideSign(c);
  for (u64 set = b.pieces[c][T]; set;) {
    const Square s = popLsb(set);
    const u64 a = attacksFrom<T>(s, x.occ);
    x.attackedBy[c] |= a;
    // The full attack set counts toward king danger even for a pinned piece.
    const int tally = static_cast<int>((a & x.zone[them]) != 0) | static_cast<int>((a & x.ring[them]) != 0) << 1;
    x.tally[c] += kTally[tally];
    const u64 moves = (x.pinned[c] & bb(s)) ? a & x.pinRay[c][s] : a;
    const int n = popcount(moves & x.area[c]);
    x.mobility[c] += mobilityPair(tr, T, n, sign);
    if constexpr (T == Rook) {
      const u64 file = kFileA << fileOf(s);
      if (!(file & b.pieces[c][Pawn])) {
        if (file & b.pieces[them][Pawn]) {
          x.rookMg[c] += mgParam(tr, kRookSemiMgIdx, sign);
          x.rookEg[c] += egParam(tr, kRookSemiEgIdx, sign);
        } else {
          x.rookMg[c] += mgParam(tr, kRookOpenMgIdx, sign);
          x.rookEg[c] += egParam(tr, kRookOpenEgIdx, sign);
        }
      }
    }
  }
}

// Table index of square s for colour c: the tables are printed from White's side, rank 8 first.
constexpr int tableIndex(Color c, Square s) { return c == White ? s ^ 56 : s; }

// The material and square values the Board sums incrementally (kPsq from kSquareValue), recorded
// piece by piece; only the recording pass walks the pieces.
template <class Tr>
void recordSquares(const Board& b, Tr& tr) {
  for (Color c = White; c <= Black; ++c)
    for (Piece t = Pawn; t <= Queen; ++t)
      for (u64 set = b.pieces[c][t]; set;) {
        const int i = tableIndex(c, popLsb(set));
        squareValue(tr, 0, t, i, sideSign(c));
        squareValue(tr, 1, t, i, sideSign(c));
      }
}

// A king's square value in half h.
template <class Tr>
inline int kingSquare(int h, Color c, Square k, Tr& tr) {
  return squareValue(tr, h, King, tableIndex(c, k), sideSign(c));
}

// Always inlined: in evaluate() the breakdown is then a local the compiler keeps in registers
// (only the trace reads it), and the call level goes.
template <class Tr>
[[gnu::always_inline]] inline void evaluateInto(const Board& b, EvalBreakdown& e, Tr& tr) {
  using namespace EvalParams;
  if constexpr (!Tr::kRecords) prefetchPawnEntry(b);
  const Square kW = b.kingSquare(White), kB = b.kingSquare(Black);
  const int nW = b.nonPawnMaterial[White], nB = b.nonPawnMaterial[Black];

  e.material = {b.psqMg, b.psqEg};
  if constexpr (Tr::kRecords) recordSquares(b, tr);
  e.king.mg = kingSquare(0, White, kW, tr) - kingSquare(0, Black, kB, tr);
  // The mop-up term is zero unless one side leads in material or may have exactly knight and
  // bishop (the sum is necessary for that; kingProximityEg checks the pieces).
  constexpr int kKnightBishop = kMgValue[Knight] + kMgValue[Bishop];
  const bool mopUp =
      nW - nB >= kMopUpLead || nW - nB <= -kMopUpLead || nW == kKnightBishop || nB == kKnightBishop;
  const int mopUpEg = mopUp ? kingProximityEg(b, nW, nB) : 0;
  tr.base(0, mopUpEg);
  e.king.eg = kingSquare(1, White, kW, tr) - kingSquare(1, Black, kB, tr) + mopUpEg;

  const int pair = (popcount(b.pieces[White][Bishop]) >= 2 ? 1 : 0) -
                   (popcount(b.pieces[Black][Bishop]) >= 2 ? 1 : 0);
  e.bishopPair = {mgParam(tr, kBishopPairIdx, pair) * pair,
                  egParam(tr, kBishopPairIdx, pair) * pair};

  Ctx x;
  x.occ = b.occupied;
  const u64 pawnAtt[2] = {pawnAttacksOf(White, b.pieces[White][Pawn]),
                          pawnAttacksOf(Black, b.pieces[Black][Pawn])};
  x.attackedBy[White] = pawnAtt[White] | Attacks::kingAttacks[kW];
  x.attackedBy[Black] = pawnAtt[Black] | Attacks::kingAttacks[kB];
  computeAbsolutePins(b, White, x.pinned[White], x.pinRay[White]);
  computeAbsolutePins(b, Black, x.pinned[Black], x.pinRay[Black]);
  // Own pieces and squares an enemy pawn guards are not counted as mobility.
  x.area[White] = ~(b.byColor[White] | pawnAtt[Black]);
  x.area[Black] = ~(b.byColor[Black] | pawnAtt[White]);
  x.ring[White] = kingRing(kW);
  x.ring[Black] = kingRing(kB);
  x.zone[White] = kKingZone[White][kW];
  x.zone[Black] = kKingZone[Black][kB];
  x.tally[0] = x.tally[1] = 0;
  x.mobility[0] = x.mobility[1] = 0;
  x.rookMg[0] = x.rookMg[1] = x.rookEg[0] = x.rookEg[1] = 0;

  evalPieces<Knight>(b, White, x, tr);
  evalPieces<Knight>(b, Black, x, tr);
  evalPieces<Bishop>(b, White, x, tr);
  evalPieces<Bishop>(b, Black, x, tr);
  evalPieces<Rook>(b, White, x, tr);
  evalPieces<Rook>(b, Black, x, tr);
  evalPieces<Queen>(b, White, x, tr);
  evalPieces<Queen>(b, Black, x, tr);

  e.mobility = unpackPair(x.mobility[White] - x.mobility[Black]);
  e.rooks = {x.rookMg[White] - x.rookMg[Black], x.rookEg[White] - x.rookEg[Black]};

  // Danger to each king comes from the other colour's tally and counts for that colour. Without
  // attack units the table entry is not a feature (ksSafety_0 must be 0).
  auto danger = [&](Color attacker) {
    const int units = static_cast<int>(x.tally[attacker] >> 32);
    const int weight = static_cast<int>(x.tally[attacker] & 0xFFFFFFFFu);
    const int u = units < 15 ? units : 15;
    const int sign = sideSign(attacker);
    tr.base(sign * (weight / 5), 0);
    return kingDanger(tr, u, u ? sign : 0) + weight / 5;
  };
  e.kingSafety.mg =
      (danger(White) - shelter(b, Black, -1, tr)) - (danger(Black) - shelter(b, White, 1, tr));
  e.kingSafety.eg = 0;

  // Passed-pawn dynamics need the complete attack maps built above. The tuner's pass counts the
  // structure afresh instead of taking the hashed sum.
  u64 passers;
  if constexpr (Tr::kRecords) {
    PawnFeatures pf{};
    computePawnFeatures(b, pf);
    e.pawns = pawnFeatureScore(pf, tr);
    passers = advancedPassersOf(b);
  } else {
    e.pawns = evalPawns(b, passers);
  }
  if (passers) {
    int passMg, passEg;
    passerTerms(b, x.attackedBy, passers, passMg, passEg);
    tr.base(passMg, passEg);
    e.pawns += ScorePair{passMg, passEg};
  }

  e.total = e.material + e.king + e.bishopPair + e.mobility + e.kingSafety + e.rooks + e.pawns;
  const int mg = e.total.mg, eg = e.total.eg;

  const int p = b.phase < 24 ? b.phase : 24;
  // Pawns on both sides scale nothing, except in the opposite-bishop ending (which needs a
  // bishop's worth of pieces on each side; egScaleFactor checks the pieces).
  const bool bothPawns = b.pieces[White][Pawn] && b.pieces[Black][Pawn];
  constexpr int kBishopValue = kMgValue[Bishop];
  const int s = bothPawns && !(nW == kBishopValue && nB == kBishopValue) ? 64 : egScaleFactor(b, eg);
  int v = fiftyMoveDamped(blend(mg, eg, p, s), b.halfmoveClock);
  if constexpr (kClampEval) v = v < -kEvalLimit ? -kEvalLimit : v > kEvalLimit ? kEvalLimit : v;

  e.phase = p;
  e.scale = s;
  e.white = v;
  e.result = b.side == White ? v : -v;
}

}  // namespace

int evaluate(const Board& b) {
  EvalBreakdown e;
  NoTrace none;
  evaluateInto(b, e, none);
  if (gEvalTrace) {
    const ScorePair terms[8] = {e.material, e.king, e.bishopPair, e.mobility,
                                e.kingSafety, e.rooks, e.pawns, e.total};
    traceEval(terms, e.phase, e.scale, e.white, b.side);
  }
  return e.result;
}

void evalBreakdown(const Board& b, EvalBreakdown& out) {
  NoTrace none;
  evaluateInto(b, out, none);
}

void evalCoefficients(const Board& b, EvalBreakdown& out, int& mgBase, int& egBase, int coefMg[],
                      int coefEg[]) {
  CoefficientTrace tr{coefMg, coefEg, &mgBase, &egBase};
  evaluateInto(b, out, tr);
}
