// End-game knowledge: the KPK bitbase built by retrograde analysis, the scale-factor rules and the
// king-proximity (mop-up) term.
#include "eval/endgame.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "eval/bits.h"
#include "eval/params.h"

using EvalBits::distance;

u32 gKPK[kKPKPositions / 32];

namespace {

bool gKPKBuilt = false;

// Classification bits; results of several successors are ORed together.
constexpr u8 kInvalid = 0;
constexpr u8 kUnknown = 1;
constexpr u8 kDraw = 2;
constexpr u8 kWin = 4;

constexpr int kpkIndex(int pawnRank, int pawnFile, int side, Square weakKing, Square strongKing) {
  return (6 - pawnRank) * 32768 + pawnFile * 8192 + side * 4096 + weakKing * 64 + strongKing;
}

constexpr bool sameSquareColour(Square a, Square b) {
  return ((fileOf(a) + rankOf(a)) & 1) == ((fileOf(b) + rankOf(b)) & 1);
}

// The material rules test piece sets. A side's non-pawn material sum equal to a piece's value is a
// cheap necessary condition for "that piece alone" whatever the values (all are positive), and the
// popcounts confirm it.
constexpr int kKnightValue = EvalParams::kMgValue[Knight];  // what kNonPawnValue holds
constexpr int kBishopValue = EvalParams::kMgValue[Bishop];
constexpr int kRookValue = EvalParams::kMgValue[Rook];
// Without pawns a side needs more than a minor piece's worth to win.
constexpr int kMinorValue = kKnightValue > kBishopValue ? kKnightValue : kBishopValue;

// Exactly one bishop and no other piece besides pawns and king.
inline bool loneBishop(const u64* p, int npm) { return npm == kBishopValue && popcount(p[Bishop]) == 1; }

// Edge closeness: 0 on the four centre squares, 6 in a corner.
constexpr int edgeCloseness(Square k) {
  const int r = rankOf(k), f = fileOf(k);
  return 6 - ((r < 7 - r ? r : 7 - r) + (f < 7 - f ? f : 7 - f));
}

// The bitbase tables are built from local geometry so the analysis needs no other start-up step.
struct KPKGeometry {
  u64 kingSteps[64];
  u64 pawnAttacks[64];  // of a White pawn
  KPKGeometry() {
    for (Square s = 0; s < 64; ++s) {
      kingSteps[s] = 0;
      for (int df = -1; df <= 1; ++df)
        for (int dr = -1; dr <= 1; ++dr) {
          const int f = fileOf(s) + df, r = rankOf(s) + dr;
          if ((df || dr) && f >= 0 && f < 8 && r >= 0 && r < 8) kingSteps[s] |= bb(makeSquare(f, r));
        }
      pawnAttacks[s] = pawnAttacksOf(White, bb(s));
    }
  }
};

u8 initialClass(const KPKGeometry& g, int idx) {
  const Square sk = idx & 63, wk = (idx >> 6) & 63;
  const int side = (idx >> 12) & 1, pf = (idx >> 13) & 3, pr = 6 - (idx >> 15);
  const Square p = makeSquare(pf, pr);
  if (sk == wk || sk == p || wk == p || (g.kingSteps[sk] & bb(wk))) return kInvalid;
  if (side == 1) {
    if ((g.kingSteps[wk] & ~(g.kingSteps[sk] | g.pawnAttacks[p])) == 0) return kDraw;
    if ((g.kingSteps[wk] & bb(p)) && !(g.kingSteps[sk] & bb(p))) return kDraw;
    return kUnknown;
  }
  if (g.pawnAttacks[p] & bb(wk)) return kInvalid;
  const Square queening = p + 8;
  if (pr == 6 && sk != queening && (distance(wk, queening) >= 2 || (g.kingSteps[sk] & bb(queening))))
    return kWin;
  return kUnknown;
}

// The class an Unknown index takes from its successors (Unknown while undecided). A single Win
// successor decides for the side with the pawn, a single Draw successor for the lone king, so the
// scan stops there; the pushes come first as they decide most often.
u8 resolve(const KPKGeometry& g, const u8* cls, int idx) {
  const Square sk = idx & 63, wk = (idx >> 6) & 63;
  const int side = (idx >> 12) & 1, pf = (idx >> 13) & 3, pr = 6 - (idx >> 15);
  const Square p = makeSquare(pf, pr);
  u8 r = 0;
  if (side == 1) {
    for (u64 to = g.kingSteps[wk] & ~g.kingSteps[sk]; to;) {
      r |= cls[kpkIndex(pr, pf, 0, popLsb(to), sk)];
      if (r & kDraw) return kDraw;
    }
    return (r & kUnknown) ? kUnknown : kWin;
  }
  if (pr < 6) {
    const Square front = p + 8;
    if (front != sk && front != wk) {
      r |= cls[kpkIndex(pr + 1, pf, 1, wk, sk)];
      if (pr == 1 && front + 8 != sk && front + 8 != wk) r |= cls[kpkIndex(pr + 2, pf, 1, wk, sk)];
      if (r & kWin) return kWin;
    }
  }
  for (u64 to = g.kingSteps[sk] & ~g.kingSteps[wk] & ~bb(p); to;) {
    r |= cls[kpkIndex(pr, pf, 1, wk, popLsb(to))];
    if (r & kWin) return kWin;
  }
  return (r & kUnknown) ? kUnknown : kDraw;
}

}  // namespace

namespace Endgame {

void init() {
  if (gKPKBuilt) return;
  const KPKGeometry g;
  std::vector<u8> cls(kKPKPositions);
  std::vector<int> unknown;
  unknown.reserve(kKPKPositions);
  for (int i = 0; i < kKPKPositions; ++i) {
    cls[i] = initialClass(g, i);
    if (cls[i] == kUnknown) unknown.push_back(i);
  }
  // Passes in increasing index order until nothing changes; the list holds exactly the indices
  // still Unknown, so a pass visits them in the same order as a sweep over all indices would.
  // Resolutions are visible at once to later indices of the same pass.
  for (bool changed = true; changed;) {
    changed = false;
    std::size_t kept = 0;
    for (const int i : unknown) {
      const u8 result = resolve(g, cls.data(), i);
      cls[i] = result;
      if (result == kUnknown)
        unknown[kept++] = i;
      else
        changed = true;
    }
    unknown.resize(kept);
  }
  for (int i = 0; i < kKPKPositions / 32; ++i) gKPK[i] = 0;
  for (int i = 0; i < kKPKPositions; ++i)
    if (cls[i] == kWin) gKPK[i >> 5] |= u32{1} << (i & 31);
  gKPKBuilt = true;
}

bool kpkWin(Color strong, Square strongKing, Square pawn, Square weakKing, Color sideToMove) {
  if (strong == Black) {
    strongKing ^= 56;
    pawn ^= 56;
    weakKing ^= 56;
  }
  if (fileOf(pawn) >= 4) {
    strongKing ^= 7;
    pawn ^= 7;
    weakKing ^= 7;
  }
  const int pr = rankOf(pawn);
  if (pr < 1 || pr > 6) return false;
  const int idx = kpkIndex(pr, fileOf(pawn), sideToMove == strong ? 0 : 1, weakKing, strongKing);
  return (gKPK[idx >> 5] >> (idx & 31)) & 1;
}

int krpkrScale(Color strong, Square strongKing, Square strongRook, Square pawn, Square weakKing,
               Square /*weakRook*/, Color sideToMove) {
  int flip = strong == Black ? 56 : 0;
  if (fileOf(pawn ^ flip) >= 4) flip ^= 7;
  const Square p = pawn ^ flip, wk = weakKing ^ flip, sk = strongKing ^ flip;
  const int pf = fileOf(p), pr = rankOf(p), kf = fileOf(wk), kr = rankOf(wk);
  const int sf = fileOf(sk), sr = rankOf(sk), rf = fileOf(strongRook ^ flip);

  if (kr > pr && std::abs(kf - pf) <= 1) return 12;  // the defender holds the square in front
  if (pr > 4) return 64;
  const int defender = std::max(std::abs(kf - pf), std::abs(kr - 7));
  const int attacker = std::max(std::abs(sr - 7), std::abs(sf - pf));
  const int t = defender - attacker - (sideToMove != strong ? 1 : 0);
  if (t < -3) return 12;
  if (t > -3) return 64;
  const bool cutOff = rf > std::min(pf, kf) && rf < std::max(pf, kf);
  return cutOff ? 64 : 24;
}

}  // namespace Endgame

int kingProximityEg(const Board& b, int npmWhite, int npmBlack) {
  const Square kW = b.kingSquare(White), kB = b.kingSquare(Black);
  const int m = std::abs(fileOf(kW) - fileOf(kB)) + std::abs(rankOf(kW) - rankOf(kB));
  int v = 0;
  if (npmWhite - npmBlack >= EvalParams::kMopUpLead)
    v = 5 * (14 - m) + 10 * edgeCloseness(kB);
  else if (npmWhite - npmBlack <= -EvalParams::kMopUpLead)
    v = -(10 * edgeCloseness(kW) + 5 * (14 - m));

  // Knight and bishop against the bare king: drive it to a corner the bishop controls.
  auto knightBishopOnly = [&](Color c) {
    const u64* p = b.pieces[c];
    return popcount(p[Bishop]) == 1 && popcount(p[Knight]) == 1 && !(p[Rook] | p[Pawn] | p[Queen]);
  };
  constexpr int kKnightBishop = kKnightValue + kBishopValue;
  Color winner;
  if (npmWhite == kKnightBishop && npmBlack == 0 && knightBishopOnly(White) &&
      b.byColor[Black] == b.pieces[Black][King])
    winner = White;
  else if (npmBlack == kKnightBishop && npmWhite == 0 && knightBishopOnly(Black) &&
           b.byColor[White] == b.pieces[White][King])
    winner = Black;
  else
    return v;

  const Square bishop = lsb(b.pieces[winner][Bishop]);
  const Square loser = winner == White ? kB : kW;
  const bool dark = ((fileOf(bishop) + rankOf(bishop)) & 1) == 0;
  const Square c1 = dark ? 0 : 7, c2 = dark ? 63 : 56;  // a1/h8 or h1/a8
  const int d = std::min(distance(loser, c1), distance(loser, c2));
  const int bonus = 30 * (7 - d);
  return winner == White ? v + bonus : v - bonus;
}

int egScaleFactor(const Board& b, int eg) {
  const int nW = b.nonPawnMaterial[White], nB = b.nonPawnMaterial[Black];
  const Color strong = eg < 0 ? Black : White, weak = strong ^ 1;
  const int nS = strong == White ? nW : nB, nWeak = strong == White ? nB : nW;
  const u64* ps = b.pieces[strong];
  const u64* pw = b.pieces[weak];
  const u64 allPawns = ps[Pawn] | pw[Pawn];

  const bool bishopsOnly = loneBishop(ps, nS) && loneBishop(pw, nWeak);
  if (ps[Pawn] && pw[Pawn] && !bishopsOnly) return 64;

  if (nW == 0 && nB == 0 && popcount(allPawns) == 1) {
    const Color pc = b.pieces[White][Pawn] ? White : Black;
    return Endgame::kpkWin(pc, b.kingSquare(pc), lsb(allPawns), b.kingSquare(pc ^ 1), b.side) ? 64 : 0;
  }

  if (nW == kRookValue && nB == kRookValue && popcount(b.pieces[White][Rook]) == 1 &&
      popcount(b.pieces[Black][Rook]) == 1 && popcount(allPawns) == 1) {
    const Color pc = b.pieces[White][Pawn] ? White : Black;
    return Endgame::krpkrScale(pc, b.kingSquare(pc), lsb(b.pieces[pc][Rook]), lsb(allPawns),
                               b.kingSquare(pc ^ 1), lsb(b.pieces[pc ^ 1][Rook]), b.side);
  }

  if (bishopsOnly && !sameSquareColour(lsb(ps[Bishop]), lsb(pw[Bishop]))) return 32;

  const int defaultScale = (nS - nWeak > kMinorValue || ps[Pawn]) ? 64 : 8;
  auto rookAgainstMinor = [&] {
    if (!pw[Pawn] && popcount(ps[Rook]) == 1 && !(ps[Queen] | ps[Bishop] | ps[Knight]) &&
        popcount(pw[Bishop] | pw[Knight]) == 1 && !(pw[Rook] | pw[Queen]))
      return 8;
    return defaultScale;
  };

  if (!ps[Pawn] && nWeak == 0 && nS == 2 * kKnightValue && popcount(ps[Knight]) == 2)
    return pw[Pawn] ? rookAgainstMinor() : 0;

  if (nWeak != 0 || !loneBishop(ps, nS) || pw[Pawn])
    return ps[Pawn] ? defaultScale : rookAgainstMinor();

  // A lone bishop against a bare king: rook pawns with the wrong bishop are a draw when the
  // defending king reaches the promotion corner.
  if (ps[Pawn]) {
    int file;
    if (!(ps[Pawn] & ~kFileA))
      file = 0;
    else if (!(ps[Pawn] & ~kFileH))
      file = 7;
    else
      return defaultScale;
    const Square corner = makeSquare(file, strong == White ? 7 : 0);
    if (sameSquareColour(lsb(ps[Bishop]), corner)) return defaultScale;
    return distance(b.kingSquare(weak), corner) <= 1 ? 0 : defaultScale;
  }
  return rookAgainstMinor();
}
