// Strict decimal parsing of command arguments and option values.
#include "uci/parse.h"

#include "board/types.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

// Surrounding white space and one sign are allowed; anything else that is not a digit fails, and so
// does a value outside the 32-bit range. The magnitude is capped early so long digit strings cannot
// overflow the accumulator.
bool parseIntStrict(std::string_view text, int& value) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  if (begin == end) return false;

  bool negative = false;
  if (text[begin] == '+' || text[begin] == '-') {
    negative = text[begin] == '-';
    if (++begin == end) return false;
  }

  i64 magnitude = 0;
  for (std::size_t i = begin; i < end; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > (i64{1} << 40)) return false;
  }
  const i64 result = negative ? -magnitude : magnitude;
  if (result < -2147483648LL || result > 2147483647LL) return false;
  value = static_cast<int>(result);
  return true;
}
