// Score text and the reduction table.
#include "search_env.h"

TEST(FormatScore, MateDistances) {
  EXPECT_EQ(formatScore(29999), "mate 1");
  EXPECT_EQ(formatScore(29998), "mate 1");
  EXPECT_EQ(formatScore(29997), "mate 2");
  EXPECT_EQ(formatScore(29744), "mate 128");
  EXPECT_EQ(formatScore(-29999), "mate -1");
  EXPECT_EQ(formatScore(-29998), "mate -1");
  EXPECT_EQ(formatScore(-30000), "mate 0");
}

TEST(FormatScore, CentipawnsBelowTheMateBound) {
  EXPECT_EQ(formatScore(29743), "cp 29743");
  EXPECT_EQ(formatScore(-29743), "cp -29743");
  EXPECT_EQ(formatScore(0), "cp 0");
  EXPECT_EQ(formatScore(-17), "cp -17");
}

TEST(Reductions, TableValues) {
  EXPECT_EQ(kLMR[63][63], 8);
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(kLMR[0][i], 0) << i;
    EXPECT_EQ(kLMR[i][0], 0) << i;
    EXPECT_EQ(kLMR[1][i], 0) << i;
    EXPECT_EQ(kLMR[i][1], 0) << i;
  }
  // trunc(ln 2 * ln 2 / 2.25 + 0.75) = 0; trunc(ln 10 * ln 10 / 2.25 + 0.75) = 3.
  EXPECT_EQ(kLMR[2][2], 0);
  EXPECT_EQ(kLMR[10][10], 3);
}

TEST(NonPawnKey, FitsFourteenBitsAndIgnoresPawns) {
  Board b;
  ASSERT_TRUE(b.setFen(kStartFen));
  const u32 w = nonPawnKey(b, White);
  const u32 k = nonPawnKey(b, Black);
  EXPECT_LT(w, 16384u);
  EXPECT_LT(k, 16384u);
  ASSERT_TRUE(b.setFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1"));
  EXPECT_EQ(nonPawnKey(b, White), w);
  EXPECT_EQ(nonPawnKey(b, Black), k);
}
