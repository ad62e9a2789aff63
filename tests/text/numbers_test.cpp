// The number-reading policies: each text with what it reads as.
#include "text/numbers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <optional>
#include <utility>

namespace {

// Each text with the number it reads as, or none when it is refused (the value then left alone).
TEST(ParseIntStrict, AcceptsSignedDecimalsInRangeOnly) {
  // clang-format off
  const struct {
    const char* text;
    std::optional<int> value;
  } cases[] = {
      // Plain numbers and signs.
      {"0", 0}, {"3", 3}, {"+3", 3}, {"-2", -2}, {"-0", 0}, {"007", 7},
      // White space around the number.
      {" 3 ", 3}, {"\t\n\v\f\r 42\r\n", 42}, {"  -17\t", -17},
      // Empty texts and bare signs.
      {"", {}}, {"   ", {}}, {"+", {}}, {"-", {}}, {" - ", {}},
      // Anything but digits, an inner blank included.
      {"2x", {}}, {"x2", {}}, {"1 2", {}}, {"12 MB", {}}, {"+-3", {}}, {"--3", {}}, {"3.0", {}},
      {"0x10", {}}, {"abc", {}},
      // The 32-bit range, however many leading zeros.
      {"2147483647", INT_MAX}, {"-2147483648", INT_MIN}, {"2147483648", {}}, {"-2147483649", {}},
      {"99999999999999999999999999999999", {}}, {"-99999999999999999999999999999999", {}},
      {"0000000000000000000000000000000005", 5},
  };
  // clang-format on
  for (const auto& c : cases) {
    int v = 12345;
    EXPECT_EQ(parseIntStrict(c.text, v), c.value.has_value()) << '"' << c.text << '"';
    EXPECT_EQ(v, c.value.value_or(12345)) << '"' << c.text << '"';
  }
}

// FEN counters: digits only, at most nine of them.
TEST(ParseCounter, AcceptsOneToNineDigits) {
  const struct {
    const char* text;
    std::optional<int> value;
  } cases[] = {{"0", 0}, {"7", 7}, {"000000012", 12}, {"999999999", 999999999}, {"1000000000", {}},
               {"", {}},  {"+1", {}}, {"-1", {}}, {" 1", {}}, {"1 ", {}}, {"1x", {}}};
  for (const auto& c : cases) {
    int v = 12345;
    EXPECT_EQ(parseCounter(c.text, v), c.value.has_value()) << '"' << c.text << '"';
    EXPECT_EQ(v, c.value.value_or(12345)) << '"' << c.text << '"';
  }
}

// Kernel byte counts: the whole text, unsigned 64-bit, nothing around it.
TEST(ParseWhole, AcceptsTheWholeTextOnly) {
  const struct {
    const char* text;
    std::optional<std::uint64_t> value;
  } cases[] = {{"0", 0},        {"9223372036854771712", 9223372036854771712ull},
               {"18446744073709551615", UINT64_MAX}, {"18446744073709551616", {}},
               {"", {}},        {"max", {}}, {"-1", {}}, {"+1", {}}, {" 1", {}}, {"1\n", {}}, {"12k", {}}};
  for (const auto& c : cases) {
    std::uint64_t v = 12345;
    EXPECT_EQ(parseWhole(c.text, v), c.value.has_value()) << '"' << c.text << '"';
    EXPECT_EQ(v, c.value.value_or(12345)) << '"' << c.text << '"';
  }
}

// Signed: a '-' but no '+', and a number beyond the type told apart from no number (the listing's
// "outside its range" against "not an integer").
TEST(ParseWhole, SignedTextsAndOutOfRange) {
  const struct {
    const char* text;
    WholeRead read;
    int value;
  } cases[] = {{"-7", WholeRead::Ok, -7},          {"2147483647", WholeRead::Ok, INT_MAX},
               {"2147483648", WholeRead::OutOfRange, 0}, {"-99999999999x", WholeRead::OutOfRange, 0},
               {"+7", WholeRead::NotANumber, 0}, {"7 ", WholeRead::NotANumber, 0},
               {"", WholeRead::NotANumber, 0},   {"-", WholeRead::NotANumber, 0}};
  for (const auto& c : cases) {
    int v = 0;
    EXPECT_EQ(readWhole(c.text, v), c.read) << '"' << c.text << '"';
    EXPECT_EQ(v, c.value) << '"' << c.text << '"';
  }
}

TEST(ParseWholeReal, FiniteNumbersOnly) {
  const std::pair<const char*, std::optional<double>> cases[] = {
      {"0.5", 0.5}, {"-1e3", -1000.0}, {".5", 0.5}, {"5.", 5.0}, {"1", 1.0},     {"+1", {}},
      {" 1", {}},   {"1x", {}},        {"inf", {}}, {"nan", {}}, {"1e400", {}}, {"", {}}};
  for (const auto& [text, value] : cases) {
    double v = 42;
    EXPECT_EQ(parseWholeReal(text, v), value.has_value()) << '"' << text << '"';
    EXPECT_EQ(v, value.value_or(42)) << '"' << text << '"';
  }
}

// datagen's settings: C's leading reading, and its whole form for the games count.
TEST(ReadLeading, ReadsAsStrtollDoes) {
  const std::pair<const char*, long long> cases[] = {
      {"12abc", 12}, {" -5", -5}, {"+3", 3}, {"x", 0}, {"", 0}, {"99999999999999999999", LLONG_MAX}};
  for (const auto& [text, value] : cases) EXPECT_EQ(readLeadingInt(text), value) << '"' << text << '"';
  EXPECT_EQ(readLeadingUnsigned("-1"), ULLONG_MAX);
  EXPECT_EQ(readLeadingUnsigned("18446744073709551617"), ULLONG_MAX);
  const std::pair<const char*, std::optional<long long>> whole[] = {
      {" 7", 7}, {"+3", 3}, {"-0", 0}, {"7 ", {}}, {"0x", {}}, {"", {}}, {"99999999999999999999", {}}};
  for (const auto& [text, value] : whole) {
    long long v = 42;
    EXPECT_EQ(parseCWhole(text, v), value.has_value()) << '"' << text << '"';
    EXPECT_EQ(v, value.value_or(42)) << '"' << text << '"';
  }
}

// The UCI loop's loose depths read a token as a stream would.
TEST(ExtractInt, ReadsLeadingDigitsAsAStreamDoes) {
  const std::pair<const char*, int> cases[] = {{"12", 12},   {"3x", 3},          {"x", 0},  {"", 0},
                                               {"-4", -4},   {"+5", 5},          {"-", 0},  {"1.9", 1},
                                               {"99999999999", INT_MAX}, {"-99999999999", INT_MIN}};
  for (const auto& [text, value] : cases) EXPECT_EQ(extractInt(text), value) << '"' << text << '"';
}

}  // namespace
