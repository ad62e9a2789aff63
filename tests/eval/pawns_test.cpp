// Pawn structure counts, their weighted sum, the pawn hash and the passed-pawn dynamics.
#include "eval/pawns.h"

#include <thread>

#include "eval_test_env.h"
#include "support/random_walk.h"

using namespace evaltest;

namespace {

PawnFeatures featuresOf(const std::string& fen) {
  PawnFeatures pf{};
  computePawnFeatures(*boardFrom(fen), pf);
  return pf;
}

// The passed-pawn dynamics are what the evaluation's pawn row adds to the structure.
ScorePair passerOf(const std::string& fen) {
  return breakdownOf(fen).pawns - evalPawnsRaw(*boardFrom(fen));
}

TEST(PawnFeatures, ThreePawnsOnOneFile) {
  const PawnFeatures pf = featuresOf("4k3/8/8/4P3/4P3/4P3/8/4K3 w - - 0 1");
  EXPECT_EQ(pf.doubled[White], 2u);
  EXPECT_EQ(pf.isolated[White], 3u);
  EXPECT_EQ(pf.connected[White], 0u);
  // No Black pawns: all three are passed, on relative ranks 2, 3 and 4.
  EXPECT_EQ(pf.passed[White][2], 1u);
  EXPECT_EQ(pf.passed[White][3], 1u);
  EXPECT_EQ(pf.passed[White][4], 1u);
  EXPECT_EQ(pf.candidate[White], 0u);
}

TEST(PawnFeatures, EnemyPawnLevelOnTheNextFileDoesNotStopAPasser) {
  const PawnFeatures pf = featuresOf("4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(pf.passed[White][4], 1u);
  // And the d5 pawn is passed for Black (relative rank 3) for the same reason.
  EXPECT_EQ(pf.passed[Black][3], 1u);
  // Level neighbours on the same rank are connected.
  EXPECT_EQ(pf.connected[White], 0u);
  const PawnFeatures blocked = featuresOf("4k3/5p2/8/3pP3/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(blocked.passed[White][4], 0u);
}

TEST(PawnFeatures, CandidateIsolatedAndConnected) {
  // White e4 and d2, Black d6: e4 is a candidate (one enemy ahead on d, one own pawn on d);
  // d6 is an isolated Black pawn.
  const PawnFeatures pf = featuresOf("4k3/8/3p4/8/4P3/8/3P4/4K3 w - - 0 1");
  EXPECT_EQ(pf.candidate[White], 1u);
  EXPECT_EQ(pf.candidate[Black], 0u);
  EXPECT_EQ(pf.isolated[White], 0u);
  EXPECT_EQ(pf.isolated[Black], 1u);
  EXPECT_EQ(pf.doubled[White], 0u);
  for (int r = 0; r < 8; ++r) EXPECT_EQ(pf.passed[White][r] + pf.passed[Black][r], 0u);
  EXPECT_EQ(evalPawnsRaw(*boardFrom("4k3/8/3p4/8/4P3/8/3P4/4K3 w - - 0 1")), (ScorePair{8 + 5, 10 + 15}));
  // Without d2, more enemy pawns than own pawns on d: no candidate.
  EXPECT_EQ(featuresOf("4k3/8/3p4/8/4P3/8/8/4K3 w - - 0 1").candidate[White], 0u);
  // Connected: side by side and defended pawns.
  const PawnFeatures c = featuresOf("4k3/8/8/8/3PP3/5P2/8/4K3 w - - 0 1");
  EXPECT_EQ(c.connected[White], 2u);  // d4-e4 side by side (e4 also defended by f3)
  EXPECT_EQ(featuresOf("4k3/8/8/8/8/8/P6P/4K3 w - - 0 1").connected[White], 0u);  // no wrap
}

TEST(PawnFeatures, AddsToTheCallersCounts) {
  PawnFeatures pf{};
  auto b = boardFrom("4k3/8/8/4P3/4P3/4P3/8/4K3 w - - 0 1");
  computePawnFeatures(*b, pf);
  computePawnFeatures(*b, pf);
  EXPECT_EQ(pf.doubled[White], 4u);
}

TEST(PawnHash, PawnlessPositionsScoreZeroThroughSlotZero) {
  auto b = boardFrom("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
  EXPECT_EQ(b->pawnKey, 0u);
  EXPECT_EQ(evalPawns(*b), (ScorePair{0, 0}));
  EXPECT_EQ(evalPawnsRaw(*b), (ScorePair{0, 0}));
}

TEST(PawnHash, HashedAndRawAgreeIncludingAFreshThread) {
  testsupport::randomWalks(5, 150, [&](const Board& b) {
    ASSERT_EQ(evalPawns(b), evalPawnsRaw(b)) << b.fen();
    ASSERT_EQ(evalPawns(b), evalPawnsRaw(b)) << b.fen();  // now a hit
  });
  // Another thread starts with its own, empty table.
  bool ok = true;
  std::thread t([&] {
    testsupport::randomWalks(6, 60, [&](const Board& b) { ok = ok && evalPawns(b) == evalPawnsRaw(b); });
  });
  t.join();
  EXPECT_TRUE(ok);
}

TEST(PawnHash, CachedAdvancedPassersMatchAFreshScan) {
  testsupport::randomWalks(7, 150, [&](const Board& b) {
    for (int pass = 0; pass < 2; ++pass) {  // a miss, then a hit
      u64 passers = ~u64{0};
      const ScorePair s = evalPawns(b, passers);
      ASSERT_EQ(s, evalPawnsRaw(b)) << b.fen();
      ASSERT_EQ(passers, advancedPassersOf(b)) << b.fen();
    }
  });
  auto b = boardFrom("4k3/8/8/3P4/8/8/p7/4K3 w - - 0 1");  // d5 counts, a2 (Black's 7th) too
  EXPECT_EQ(advancedPassersOf(*b), bb(35) | bb(8));
}

TEST(PasserTerms, IgnoresPassersBelowTheFourthRank) {
  EXPECT_EQ(passerOf("4k3/8/8/8/8/4P3/8/4K3 w - - 0 1"), (ScorePair{0, 0}));
  EXPECT_EQ(passerOf("4k3/8/4p3/8/8/8/8/4K3 w - - 0 1"), (ScorePair{0, 0}));
}

TEST(PasserTerms, KingDistancesAndAFreePath) {
  // e5 (relative rank 4, weight 7), front square e6. King term (5*4 - 2*5) * 7 = 70; free path
  // bonus 20 * 7 = 140. mg = 140 / 8, eg = 70 / 4 + 140 / 4.
  EXPECT_EQ(passerOf("k7/8/8/4P3/8/8/8/6K1 w - - 0 1"), (ScorePair{17, 17 + 35}));
  // Blocked front square: the king term only.
  EXPECT_EQ(passerOf("k7/8/4b3/4P3/8/8/8/6K1 w - - 0 1"), (ScorePair{0, 17}));
  // Mirror image for Black: the same numbers negated.
  EXPECT_EQ(passerOf("6k1/8/8/8/4p3/8/8/K7 b - - 0 1"), (ScorePair{-17, -52}));
}

TEST(PasserTerms, PathAttackedOrDefended) {
  // e6 (weight 12), front e7. Kings: Black a8 -> d(e7) = 4, White a1 -> 6 capped 5:
  // (20 - 10) * 12 = 120. The Black rook on h8 attacks e8 (not e7): bonus 8, and the White rook on
  // h7 defends e7 (+4): 12 * 12 = 144. mg = 144 / 8 = 18, eg = 120 / 4 + 144 / 4 = 30 + 36.
  EXPECT_EQ(passerOf("k6r/7R/4P3/8/8/8/8/K7 w - - 0 1"), (ScorePair{18, 66}));
  // The Black rook on h7 attacks e7 itself: bonus 0, +4 for the bishop's defence: 48.
  EXPECT_EQ(passerOf("k7/7r/3BP3/8/8/8/8/K7 w - - 0 1"), (ScorePair{6, 30 + 12}));
  // A rook behind the pawn does not defend through it: bonus 8 only.
  EXPECT_EQ(passerOf("k6r/8/4P3/8/8/8/8/K3R3 w - - 0 1"), (ScorePair{12, 30 + 24}));
}

}  // namespace
