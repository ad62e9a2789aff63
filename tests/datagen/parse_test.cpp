// Reading one line of a data file: result and optional score brackets, trailing white space.
#include "datagen_env.h"

namespace {

const std::string kFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

bool valid(const std::string& line) {
  DataLine::Sample s;
  return DataLine::parse(line, s);
}

}  // namespace

TEST(DataGenLine, WithAndWithoutScore) {
  DataLine::Sample s;
  ASSERT_TRUE(DataLine::parse(kFen + " [1.0] [-35]", s));
  EXPECT_EQ(s.fen, kFen);
  EXPECT_EQ(s.result, 1.0);
  EXPECT_EQ(s.score, -35);
  EXPECT_TRUE(s.hasScore);

  // A line without a score resets the fields a previous line set.
  ASSERT_TRUE(DataLine::parse(kFen + " [0.0]", s));
  EXPECT_EQ(s.fen, kFen);
  EXPECT_EQ(s.result, 0.0);
  EXPECT_EQ(s.score, 0);
  EXPECT_FALSE(s.hasScore);

  ASSERT_TRUE(DataLine::parse(kFen + " [0.5] [12]", s));
  EXPECT_EQ(s.result, 0.5);
  EXPECT_EQ(s.score, 12);
}

TEST(DataGenLine, TrailingWhiteSpaceAndOptionalBlanks) {
  DataLine::Sample s;
  ASSERT_TRUE(DataLine::parse(kFen + " [0.5] [7]\r", s));
  EXPECT_EQ(s.fen, kFen);
  EXPECT_EQ(s.score, 7);
  ASSERT_TRUE(DataLine::parse(kFen + "[1.0][3] \t\r\n", s));
  EXPECT_EQ(s.fen, kFen);
  EXPECT_EQ(s.result, 1.0);
  EXPECT_EQ(s.score, 3);
  ASSERT_TRUE(DataLine::parse(kFen + " \t [0.0]", s));
  EXPECT_EQ(s.fen, kFen);
  // Leading blanks stay part of the FEN text (Board::setFen skips them).
  ASSERT_TRUE(DataLine::parse("  " + kFen + " [0.0]", s));
  EXPECT_EQ(s.fen, "  " + kFen);
}

TEST(DataGenLine, ScoreIsAStrictInteger) {
  DataLine::Sample s;
  ASSERT_TRUE(DataLine::parse(kFen + " [0.5] [ -35 ]", s));
  EXPECT_EQ(s.score, -35);
  ASSERT_TRUE(DataLine::parse(kFen + " [0.5] [+8]", s));
  EXPECT_EQ(s.score, 8);
  EXPECT_FALSE(valid(kFen + " [0.5] [12.5]"));
  EXPECT_FALSE(valid(kFen + " [0.5] [abc]"));
  EXPECT_FALSE(valid(kFen + " [0.5] []"));
  EXPECT_FALSE(valid(kFen + " [0.5] [99999999999]"));
}

TEST(DataGenLine, ResultMustBeOneOfThreeTexts) {
  for (const char* r : {"1", "1.00", "0.50", "0", " 1.0", "1.0 ", "-0.0", "0.75", ""})
    EXPECT_FALSE(valid(kFen + " [" + r + "]")) << r;
  // A bad result is rejected with a score bracket too.
  EXPECT_FALSE(valid(kFen + " [1] [5]"));
}

TEST(DataGenLine, MalformedLines) {
  EXPECT_FALSE(valid(""));
  EXPECT_FALSE(valid("   "));
  EXPECT_FALSE(valid("\r"));
  EXPECT_FALSE(valid(kFen));                // no bracket
  EXPECT_FALSE(valid(kFen + " [0.5] x"));   // text after the brackets
  EXPECT_FALSE(valid(kFen + " 0.5]"));      // no "["
  EXPECT_FALSE(valid(kFen + " 1.0] [5]"));  // second bracket without "["
  EXPECT_FALSE(valid("[0.5]"));             // bracket without a FEN
  EXPECT_FALSE(valid(" [0.5] [10]"));
  EXPECT_FALSE(valid("]"));
  // Only the last two brackets are read: anything before them stays in the FEN text.
  DataLine::Sample s;
  ASSERT_TRUE(DataLine::parse(kFen + " [1.0] [0.5] [3]", s));
  EXPECT_EQ(s.fen, kFen + " [1.0]");
  EXPECT_EQ(s.result, 0.5);
  EXPECT_EQ(s.score, 3);
}
