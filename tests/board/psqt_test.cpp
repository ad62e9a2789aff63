// Material and piece-square values as the Board sums them.
#include "board_test_util.h"

namespace {

using namespace boardtest;

TEST(PsqtTest, StartPositionIsBalancedAndKnightG1MatchesTheTables) {
  auto b = boardFrom(kStartFen);
  EXPECT_EQ(b->psqMg, 0);
  EXPECT_EQ(b->psqEg, 0);
  EXPECT_EQ(b->phase, 24);
  EXPECT_EQ(b->nonPawnMaterial[White], 2 * 380 + 2 * 374 + 2 * 493 + 1283);
  EXPECT_EQ(b->nonPawnMaterial[Black], b->nonPawnMaterial[White]);
  EXPECT_EQ(kPsq[0][White][Knight][sq("g1")], 376);
  EXPECT_EQ(kPsq[1][White][Knight][sq("g1")], 319);
}

TEST(PsqtTest, SpotValuesFromThePrintedTables) {
  // White e4 pawn reads rank 4 of the pawn tables: 93 + 5 and 153 - 43.
  EXPECT_EQ(kPsq[0][White][Pawn][sq("e4")], 98);
  EXPECT_EQ(kPsq[1][White][Pawn][sq("e4")], 110);
  // Rook a1 (printed bottom-left) and queen d8 (printed top row) for White.
  EXPECT_EQ(kPsq[0][White][Rook][sq("a1")], 493 - 12);
  EXPECT_EQ(kPsq[1][White][Rook][sq("a1")], 635 - 12);
  EXPECT_EQ(kPsq[0][White][Queen][sq("d8")], 1283 + 27);
  EXPECT_EQ(kPsq[1][White][Bishop][sq("g8")], 359 - 56);
  // Black reads the same table at the square itself, negated: a black knight on a8 sits on the
  // printed a1 corner of its own side, i.e. the white knight's a1 value.
  EXPECT_EQ(kPsq[0][Black][Knight][sq("a8")], -(380 - 68));
  EXPECT_EQ(kPsq[1][Black][Pawn][sq("h7")], -(153 - 26));
}

TEST(PsqtTest, BlackMirrorsWhiteAndKingsAreZero) {
  for (int half = 0; half < 2; ++half)
    for (Piece p = Pawn; p <= King; ++p)
      for (Square s = 0; s < 64; ++s) {
        EXPECT_EQ(kPsq[half][Black][p][s], -kPsq[half][White][p][s ^ 56]);
        if (p == King) {
          EXPECT_EQ(kPsq[half][White][p][s], 0);
        }
      }
}

}  // namespace
