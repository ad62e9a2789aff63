// The strict integer parser used for command-line depths and option values.
#include <gtest/gtest.h>

#include <climits>
#include <optional>

#include "uci/uci.h"

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

}  // namespace
