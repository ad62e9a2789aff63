// The evaluation function: one pass over the pieces for attacks, mobility, king attacks and rook
// files, then king safety, pawns, end-game scaling, the phase blend and the fifty-move damping.
#include "eval/eval.h"

#include "eval/bits.h"
#include "eval/endgame.h"
#include "eval/pawns.h"
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
  const int(&value)[6] = h == 0 ? kMgValue : kEgValue;
  const int(&pst)[6][64] = h == 0 ? kPSTMG : kPSTEG;
  const int(&mob)[6][28] = h == 0 ? kMobilityMg : kMobilityEg;
  long long hi = 0, lo = 0;  // the best and worst single man, over all types and squares
  for (Piece t = Pawn; t <= Queen; ++t) {
    const int open = h == 0 ? kRookOpenMg : kRookOpenEg, semi = h == 0 ? kRookSemiMg : kRookSemiEg;
    const int file[3] = {0, t == Rook ? open : 0, t == Rook ? semi : 0};
    const int fileHi = maxOf(file, 3), fileLo = minOf(file, 3);
    const long long manHi = value[t] + maxOf(pst[t], 64) + maxOf(mob[t], 28) + fileHi;
    const long long manLo = value[t] + minOf(pst[t], 64) + minOf(mob[t], 28) + fileLo;
    hi = manHi > hi ? manHi : hi;
    lo = manLo < lo ? manLo : lo;
  }
  long long b = 15 * (hi - lo);
  b += maxOf(pst[King], 64) - minOf(pst[King], 64) + abs32(kBishopPair);
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

inline void absolutePins(const Board& b, Color us, u64& pinned, u64* pinRay) {
  const Square k = b.kingSquare(us);
  const u64* enemy = b.pieces[us ^ 1];
  u64 candidates =
      ((Attacks::rankMask[k] | Attacks::fileMask[k]) & (enemy[Rook] | enemy[Queen])) |
      ((Attacks::diagMask[k] | Attacks::adiagMask[k]) & (enemy[Bishop] | enemy[Queen]));
  pinned = 0;
  while (candidates) {
    const Square p = popLsb(candidates);
    const u64 between = gBetweenBB[k][p];
    const u64 blockers = b.occupied & between;
    // Exactly one piece in between, and it is ours.
    if (blockers && !(blockers & (blockers - 1)) && (blockers & b.byColor[us])) {
      pinned |= blockers;
      pinRay[lsb(blockers)] = between | bb(p);
    }
  }
}

// Shelter of c's king: 10 per shielded file minus 31 per file without own pawns, 0 on files d-f.
inline bool shelterCounts(const Board& b, Color c, int& shielded, int& openFiles) {
  const Square k = b.kingSquare(c);
  const int f = fileOf(k);
  shielded = openFiles = 0;
  if (f >= 3 && f <= 5) return false;
  const unsigned files = kShieldFiles[f];
  const u64 pawns = b.pieces[c][Pawn];
  openFiles = std::popcount(files & ~fileSet(pawns) & 0xFFu);
  shielded = std::popcount(files & fileSet(pawns & kKingShield[c][k]));
  return true;
}

inline int shelter(const Board& b, Color c) {
  int shielded, openFiles;
  shelterCounts(b, c, shielded, openFiles);
  return EvalParams::kShelterPawn * shielded - EvalParams::kKsOpenFile * openFiles;
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
  int units[2];   // tally of each attacking colour against the enemy king
  int weight[2];
  int mobMg[2], mobEg[2];
  int rookMg[2], rookEg[2];
};

template <Piece T>
inline void evalPieces(const Board& b, Color c, Ctx& x) {
  using namespace EvalParams;
  const Color them = c ^ 1;
  for (u64 set = b.pieces[c][T]; set;) {
    const Square s = popLsb(set);
    const u64 a = attacksFrom<T>(s, x.occ);
    x.attackedBy[c] |= a;
    // The full attack set counts toward king danger even for a pinned piece.
    if (a & x.ring[them]) {
      x.units[c] += kAttackUnitsNear;
      x.weight[c] += kKingAttackNear[T];
    } else if (a & x.zone[them]) {
      x.units[c] += kAttackUnitsZone;
      x.weight[c] += kKingAttackZone[T];
    }
    const u64 moves = (x.pinned[c] & bb(s)) ? a & x.pinRay[c][s] : a;
    const int n = popcount(moves & x.area[c]);
    x.mobMg[c] += kMobilityMg[T][n];
    x.mobEg[c] += kMobilityEg[T][n];
    if constexpr (T == Rook) {
      const u64 file = kFileA << fileOf(s);
      if (!(file & b.pieces[c][Pawn])) {
        if (file & b.pieces[them][Pawn]) {
          x.rookMg[c] += kRookSemiMg;
          x.rookEg[c] += kRookSemiEg;
        } else {
          x.rookMg[c] += kRookOpenMg;
          x.rookEg[c] += kRookOpenEg;
        }
      }
    }
  }
}

inline void evaluateInto(const Board& b, EvalBreakdown& e) {
  using namespace EvalParams;
  prefetchPawnEntry(b);
  const Square kW = b.kingSquare(White), kB = b.kingSquare(Black);
  const int nW = b.nonPawnMaterial[White], nB = b.nonPawnMaterial[Black];

  e.material = {b.psqMg, b.psqEg};
  e.king.mg = kPSTMG[King][kW ^ 56] - kPSTMG[King][kB];
  // The mop-up term is zero unless one side leads in material or may have exactly knight and
  // bishop (the sum is necessary for that; kingProximityEg checks the pieces).
  constexpr int kKnightBishop = kMgValue[Knight] + kMgValue[Bishop];
  const bool mopUp =
      nW - nB >= kMopUpLead || nW - nB <= -kMopUpLead || nW == kKnightBishop || nB == kKnightBishop;
  e.king.eg = kKingEG[kW ^ 56] - kKingEG[kB] + (mopUp ? kingProximityEg(b, nW, nB) : 0);

  const int pair = (popcount(b.pieces[White][Bishop]) >= 2 ? 1 : 0) -
                   (popcount(b.pieces[Black][Bishop]) >= 2 ? 1 : 0);
  e.bishopPair = {kBishopPair * pair, kBishopPair * pair};

  Ctx x;
  x.occ = b.occupied;
  const u64 pawnAtt[2] = {pawnAttacksOf(White, b.pieces[White][Pawn]),
                          pawnAttacksOf(Black, b.pieces[Black][Pawn])};
  x.attackedBy[White] = pawnAtt[White] | Attacks::kingAttacks[kW];
  x.attackedBy[Black] = pawnAtt[Black] | Attacks::kingAttacks[kB];
  absolutePins(b, White, x.pinned[White], x.pinRay[White]);
  absolutePins(b, Black, x.pinned[Black], x.pinRay[Black]);
  // Own pieces and squares an enemy pawn guards are not counted as mobility.
  x.area[White] = ~(b.byColor[White] | pawnAtt[Black]);
  x.area[Black] = ~(b.byColor[Black] | pawnAtt[White]);
  x.ring[White] = kingRing(kW);
  x.ring[Black] = kingRing(kB);
  x.zone[White] = kKingZone[White][kW];
  x.zone[Black] = kKingZone[Black][kB];
  x.units[0] = x.units[1] = x.weight[0] = x.weight[1] = 0;
  x.mobMg[0] = x.mobMg[1] = x.mobEg[0] = x.mobEg[1] = 0;
  x.rookMg[0] = x.rookMg[1] = x.rookEg[0] = x.rookEg[1] = 0;

  evalPieces<Knight>(b, White, x);
  evalPieces<Knight>(b, Black, x);
  evalPieces<Bishop>(b, White, x);
  evalPieces<Bishop>(b, Black, x);
  evalPieces<Rook>(b, White, x);
  evalPieces<Rook>(b, Black, x);
  evalPieces<Queen>(b, White, x);
  evalPieces<Queen>(b, Black, x);

  e.mobility = {x.mobMg[White] - x.mobMg[Black], x.mobEg[White] - x.mobEg[Black]};
  e.rooks = {x.rookMg[White] - x.rookMg[Black], x.rookEg[White] - x.rookEg[Black]};

  // Danger to each king comes from the other colour's tally.
  auto danger = [&](Color attacker) {
    const int u = x.units[attacker] < 15 ? x.units[attacker] : 15;
    return kKsSafetyTable[u] + x.weight[attacker] / 5;
  };
  e.kingSafety.mg = (danger(White) - shelter(b, Black)) - (danger(Black) - shelter(b, White));
  e.kingSafety.eg = 0;

  // Passed-pawn dynamics need the complete attack maps built above.
  u64 passers;
  e.pawns = evalPawns(b, passers);
  if (passers) {
    int passMg, passEg;
    passerTerms(b, x.attackedBy, passers, passMg, passEg);
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
  // 32-bit truncating divisions in this order: the scaled endgame first, then the blend, then
  // the fifty-move damping. The clock saturates at 255; capping it at 200 makes the factor reach
  // 0 and stay there instead of turning negative and flipping the score's sign.
  int v = (mg * p + (eg * s / 64) * (24 - p)) / 24;
  const int clock = b.halfmoveClock < 200 ? b.halfmoveClock : 200;
  v = v * (200 - clock) / 200;
  if constexpr (kClampEval) v = v < -kEvalLimit ? -kEvalLimit : v > kEvalLimit ? kEvalLimit : v;

  e.phase = p;
  e.scale = s;
  e.white = v;
  e.result = b.side == White ? v : -v;
}

}  // namespace

int evaluate(const Board& b) {
  EvalBreakdown e;
  evaluateInto(b, e);
  if (gEvalTrace) {
    const ScorePair terms[8] = {e.material, e.king, e.bishopPair, e.mobility,
                                e.kingSafety, e.rooks, e.pawns, e.total};
    traceEval(terms, e.phase, e.scale, e.white, b.side);
  }
  return e.result;
}

void evalBreakdown(const Board& b, EvalBreakdown& out) { evaluateInto(b, out); }

void computeAttackedBy(const Board& b, u64 attackedBy[2]) {
  for (Color c = White; c <= Black; ++c) {
    const u64* p = b.pieces[c];
    u64 a = pawnAttacksOf(c, p[Pawn]) | Attacks::kingAttacks[b.kingSquare(c)];
    for (u64 x = p[Knight]; x;) a |= Attacks::knightAttacks[popLsb(x)];
    for (u64 x = p[Bishop]; x;) a |= bishopAttacks(popLsb(x), b.occupied);
    for (u64 x = p[Rook]; x;) a |= rookAttacks(popLsb(x), b.occupied);
    for (u64 x = p[Queen]; x;) a |= queenAttacks(popLsb(x), b.occupied);
    attackedBy[c] = a;
  }
}

void computeAbsolutePins(const Board& b, Color us, u64& pinned, u64 pinRay[64]) {
  absolutePins(b, us, pinned, pinRay);
}

void kingAttackTally(const Board& b, Color attacker, int& units, int& weight) {
  using namespace EvalParams;
  units = weight = 0;
  // Never true on a valid board; it also tells the compiler the king square is below 64.
  if (!b.pieces[attacker ^ 1][King]) return;
  const Square k = b.kingSquare(attacker ^ 1);
  const u64 ring = kingRing(k), zone = kKingZone[attacker ^ 1][k];
  auto tally = [&](Piece t, u64 a) {
    if (a & ring) {
      units += kAttackUnitsNear;
      weight += kKingAttackNear[t];
    } else if (a & zone) {
      units += kAttackUnitsZone;
      weight += kKingAttackZone[t];
    }
  };
  const u64* p = b.pieces[attacker];
  for (u64 x = p[Knight]; x;) tally(Knight, Attacks::knightAttacks[popLsb(x)]);
  for (u64 x = p[Bishop]; x;) tally(Bishop, bishopAttacks(popLsb(x), b.occupied));
  for (u64 x = p[Rook]; x;) tally(Rook, rookAttacks(popLsb(x), b.occupied));
  for (u64 x = p[Queen]; x;) tally(Queen, queenAttacks(popLsb(x), b.occupied));
}

bool kingShelterCounts(const Board& b, Color c, int& shielded, int& openFiles) {
  return shelterCounts(b, c, shielded, openFiles);
}
