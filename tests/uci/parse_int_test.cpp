// The strict integer parser used for command-line depths and option values.
#include <gtest/gtest.h>

#include <climits>

#include "uci/uci.h"

namespace {

bool parses(std::string_view text, int expected) {
  int v = 12345;
  return parseIntStrict(text, v) && v == expected;
}

bool rejects(std::string_view text) {
  int v = 12345;
  return !parseIntStrict(text, v) && v == 12345;  // a failure leaves the value alone
}

TEST(ParseIntStrict, PlainNumbersAndSigns) {
  EXPECT_TRUE(parses("0", 0));
  EXPECT_TRUE(parses("3", 3));
  EXPECT_TRUE(parses("+3", 3));
  EXPECT_TRUE(parses("-2", -2));
  EXPECT_TRUE(parses("-0", 0));
  EXPECT_TRUE(parses("007", 7));
}

TEST(ParseIntStrict, SurroundingWhiteSpaceIsAllowed) {
  EXPECT_TRUE(parses(" 3 ", 3));
  EXPECT_TRUE(parses("\t\n\v\f\r 42\r\n", 42));
  EXPECT_TRUE(parses("  -17\t", -17));
}

TEST(ParseIntStrict, RejectsEmptyAndBareSigns) {
  EXPECT_TRUE(rejects(""));
  EXPECT_TRUE(rejects("   "));
  EXPECT_TRUE(rejects("+"));
  EXPECT_TRUE(rejects("-"));
  EXPECT_TRUE(rejects(" - "));
}

TEST(ParseIntStrict, RejectsAnythingButDigits) {
  EXPECT_TRUE(rejects("2x"));
  EXPECT_TRUE(rejects("x2"));
  EXPECT_TRUE(rejects("1 2"));  // an inner blank
  EXPECT_TRUE(rejects("12 MB"));
  EXPECT_TRUE(rejects("+-3"));
  EXPECT_TRUE(rejects("--3"));
  EXPECT_TRUE(rejects("3.0"));
  EXPECT_TRUE(rejects("0x10"));
  EXPECT_TRUE(rejects("abc"));
}

TEST(ParseIntStrict, ThirtyTwoBitRange) {
  EXPECT_TRUE(parses("2147483647", INT_MAX));
  EXPECT_TRUE(parses("-2147483648", INT_MIN));
  EXPECT_TRUE(rejects("2147483648"));
  EXPECT_TRUE(rejects("-2147483649"));
  EXPECT_TRUE(rejects("99999999999999999999999999999999"));
  EXPECT_TRUE(rejects("-99999999999999999999999999999999"));
  EXPECT_TRUE(parses("0000000000000000000000000000000005", 5));
}

}  // namespace
