// Pawn structure terms and the per-thread pawn hash.
#include "eval/pawns.h"

#include "eval/bits.h"

using namespace EvalBits;

thread_local constinit PawnEntry gPawnTable[kPawnTableSize]{};

namespace {

// Squares strictly ahead of rank r for colour c.
constexpr u64 ranksAhead(Color c, int r) {
  return c == White ? ~u64{0} << (8 * (r + 1)) : (u64{1} << (8 * r)) - 1;
}

// Squares strictly behind the enemy pawns E as seen from c: a pawn of c standing there has an
// enemy pawn ahead of it on its file.
constexpr u64 frontSpanOfEnemy(Color c, u64 enemyPawns) {
  return c == White ? southFill(enemyPawns) >> 8 : northFill(enemyPawns) << 8;
}

constexpr int relativeRank(Color c, Square s) { return c == White ? rankOf(s) : 7 - rankOf(s); }

}  // namespace

void computePawnFeatures(const Board& b, PawnFeatures& pf) {
  for (Color c = White; c <= Black; ++c) {
    const u64 own = b.pieces[c][Pawn];
    const u64 enemy = b.pieces[c ^ 1][Pawn];
    const unsigned files = fileSet(own);

    pf.doubled[c] += static_cast<u32>(popcount(own) - std::popcount(files));

    const unsigned isolatedFiles = files & ~((files << 1) | (files >> 1)) & 0xFF;
    pf.isolated[c] += static_cast<u32>(popcount(own & filesOf(isolatedFiles)));

    const u64 span = frontSpanOfEnemy(c, enemy);
    const u64 sideSpan = bothSides(span);
    for (u64 p = own & ~(span | sideSpan); p;) ++pf.passed[c][relativeRank(c, popLsb(p))];

    // Candidates: open file ahead, an enemy pawn ahead on a neighbour file, and on neither
    // neighbour more enemy pawns ahead than own pawns to meet them.
    for (u64 p = own & ~span & sideSpan; p;) {
      const Square s = popLsb(p);
      const int f = fileOf(s);
      const u64 ahead = ranksAhead(c, rankOf(s));
      bool candidate = true;
      for (int g = f - 1; g <= f + 1; g += 2) {
        if (g < 0 || g > 7) continue;
        const u64 file = kFileA << g;
        if (popcount(enemy & file & ahead) > popcount(own & file)) candidate = false;
      }
      pf.candidate[c] += candidate ? 1 : 0;
    }

    pf.connected[c] += static_cast<u32>(popcount(own & (bothSides(own) | pawnAttacksOf(c, own))));
  }
}

ScorePair evalPawnsRaw(const Board& b) {
  PawnFeatures pf{};
  computePawnFeatures(b, pf);
  NoTrace none;
  return pawnFeatureScore(pf, none);
}

ScorePair storePawnEntry(const Board& b, PawnEntry& e, u64& advancedPassers) {
  const ScorePair s = evalPawnsRaw(b);
  advancedPassers = advancedPassersOf(b);
  e.key = b.pawnKey;
  e.advancedPassers = advancedPassers;
  e.mg = s.mg;
  e.eg = s.eg;
  return s;
}

ScorePair evalPawns(const Board& b) {
  u64 passers;
  return evalPawns(b, passers);
}

u64 advancedPassersOf(const Board& b) {
  u64 set = 0;
  for (Color c = White; c <= Black; ++c) {
    const u64 span = frontSpanOfEnemy(c, b.pieces[c ^ 1][Pawn]);
    // Relative ranks 3..6 only: the 4th rank and beyond.
    const u64 advanced = c == White ? 0x00FFFFFFFF000000ULL : 0x000000FFFFFFFF00ULL;
    set |= b.pieces[c][Pawn] & ~(span | bothSides(span)) & advanced;
  }
  return set;
}

void passerTerms(const Board& b, const u64 attackedBy[2], u64 advancedPassers, int& mg, int& eg) {
  int kingTerm[2] = {0, 0};
  int freeTerm[2] = {0, 0};
  for (Color c = White; c <= Black; ++c) {
    const Square ownKing = b.kingSquare(c), enemyKing = b.kingSquare(c ^ 1);
    const u64 blockers = attackedBy[c ^ 1] | b.occupied;
    for (u64 p = advancedPassers & b.pieces[c][Pawn]; p;) {
      const Square s = popLsb(p);
      const int w = 5 * relativeRank(c, s) - 13;
      const Square t = c == White ? s + 8 : s - 8;
      const int de = distance(enemyKing, t), dw = distance(ownKing, t);
      kingTerm[c] += (5 * (de < 5 ? de : 5) - 2 * (dw < 5 ? dw : 5)) * w;
      if (b.occupied & bb(t)) continue;
      const u64 front = Attacks::fileMask[s] & (c == White ? ~u64{0} << s : bb(s) - 1);
      const u64 path = front & blockers;
      int bonus = path == 0 ? 20 : (path & bb(t)) ? 0 : 8;
      if (attackedBy[c] & bb(t)) bonus += 4;
      freeTerm[c] += bonus * w;
    }
  }
  const int freeDiff = freeTerm[White] - freeTerm[Black];
  mg = freeDiff / 8;
  eg = (kingTerm[White] - kingTerm[Black]) / 4 + freeDiff / 4;
}
