// The geometric masks: the squares between two squares, king zones and king shields.
#include "eval/params.h"

#include "eval_test_env.h"

namespace {

using testsupport::sq;
using testsupport::squares;

TEST(BetweenBB, AlignedPairsHoldTheSquaresStrictlyBetween) {
  EXPECT_EQ(gBetweenBB[sq("a1")][sq("h8")], squares({"b2", "c3", "d4", "e5", "f6", "g7"}));
  EXPECT_EQ(gBetweenBB[sq("h8")][sq("a1")], gBetweenBB[sq("a1")][sq("h8")]);
  EXPECT_EQ(gBetweenBB[sq("a1")][sq("a8")], squares({"a2", "a3", "a4", "a5", "a6", "a7"}));
  EXPECT_EQ(gBetweenBB[sq("b1")][sq("g1")], squares({"c1", "d1", "e1", "f1"}));
  EXPECT_EQ(gBetweenBB[sq("h1")][sq("e4")], squares({"g2", "f3"}));
}

TEST(BetweenBB, EmptyForUnalignedAdjacentAndEqualSquares) {
  EXPECT_EQ(gBetweenBB[sq("a1")][sq("b3")], 0u);
  EXPECT_EQ(gBetweenBB[sq("e4")][sq("e5")], 0u);
  EXPECT_EQ(gBetweenBB[sq("e1")][sq("e2")], 0u);
  EXPECT_EQ(gBetweenBB[sq("d4")][sq("e5")], 0u);
  for (Square s = 0; s < 64; ++s) EXPECT_EQ(gBetweenBB[s][s], 0u);
}

TEST(BetweenBB, SymmetricAndMatchesAWalkAlongTheLine) {
  for (Square a = 0; a < 64; ++a)
    for (Square b = 0; b < 64; ++b) {
      ASSERT_EQ(gBetweenBB[a][b], gBetweenBB[b][a]);
      const int df = fileOf(b) - fileOf(a), dr = rankOf(b) - rankOf(a);
      const bool aligned = a != b && (df == 0 || dr == 0 || df == dr || df == -dr);
      u64 expect = 0;
      if (aligned) {
        const int sf = (df > 0) - (df < 0), sr = (dr > 0) - (dr < 0);
        for (Square s = a + sf + 8 * sr; s != b; s += sf + 8 * sr) expect |= bb(s);
      }
      ASSERT_EQ(gBetweenBB[a][b], expect) << a << " " << b;
    }
}

TEST(KingMasks, ZoneAndShieldOfG1) {
  EXPECT_EQ(kKingZone[White][sq("g1")],
            squares({"f1", "g1", "h1", "f2", "g2", "h2", "f3", "g3", "h3"}));
  EXPECT_EQ(kKingShield[White][sq("g1")], squares({"f2", "g2", "h2", "f3", "g3", "h3"}));
}

TEST(KingMasks, EdgeFilesAndLastRanks) {
  EXPECT_EQ(kKingShield[White][sq("a1")], squares({"a2", "b2", "a3", "b3"}));
  EXPECT_EQ(kKingZone[White][sq("a1")], squares({"a1", "b1", "a2", "b2", "a3", "b3"}));
  // On the 8th rank a White king has no shield; on the 7th only one rank.
  EXPECT_EQ(kKingShield[White][sq("e8")], 0u);
  EXPECT_EQ(kKingZone[White][sq("e8")], squares({"d8", "e8", "f8", "d7", "e7", "f7"}));
  EXPECT_EQ(kKingShield[White][sq("e7")], squares({"d8", "e8", "f8"}));
  // Mirrored for Black.
  EXPECT_EQ(kKingShield[Black][sq("g8")], squares({"f7", "g7", "h7", "f6", "g6", "h6"}));
  EXPECT_EQ(kKingShield[Black][sq("e1")], 0u);
  EXPECT_EQ(kKingShield[Black][sq("h2")], squares({"g1", "h1"}));
}

}  // namespace
