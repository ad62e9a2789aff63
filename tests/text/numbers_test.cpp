// The number-reading policies: each text with what it reads as.
#include "text/numbers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <optional>

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
TEST(ParseWholeU64, AcceptsTheWholeTextOnly) {
  const struct {
    const char* text;
    std::optional<std::uint64_t> value;
  } cases[] = {{"0", 0},        {"9223372036854771712", 9223372036854771712ull},
               {"18446744073709551615", UINT64_MAX}, {"18446744073709551616", {}},
               {"", {}},        {"max", {}}, {"-1", {}}, {"+1", {}}, {" 1", {}}, {"1\n", {}}, {"12k", {}}};
  for (const auto& c : cases) {
    std::uint64_t v = 12345;
    EXPECT_EQ(parseWholeU64(c.text, v), c.value.has_value()) << '"' << c.text << '"';
    EXPECT_EQ(v, c.value.value_or(12345)) << '"' << c.text << '"';
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
