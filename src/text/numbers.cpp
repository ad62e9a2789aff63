// The number-reading policies.
#include "text/numbers.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

// The magnitude is capped early so long digit strings cannot overflow the accumulator.
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

  std::int64_t magnitude = 0;
  for (std::size_t i = begin; i < end; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > (std::int64_t{1} << 40)) return false;
  }
  const std::int64_t result = negative ? -magnitude : magnitude;
  if (result < -2147483648LL || result > 2147483647LL) return false;
  value = static_cast<int>(result);
  return true;
}

bool parseCounter(std::string_view text, int& value) {
  if (text.empty() || text.size() > 9) return false;
  int v = 0;
  for (const char ch : text) {
    if (ch < '0' || ch > '9') return false;
    v = v * 10 + (ch - '0');
  }
  value = v;
  return true;
}

bool parseWholeReal(std::string_view text, double& value) {
  double v = 0;
  if (!parseWhole(text, v) || !std::isfinite(v)) return false;
  value = v;
  return true;
}

// strtoll and strtoull need a terminated string; a setting never holds a NUL byte.
long long readLeadingInt(std::string_view text) {
  return std::strtoll(std::string(text).c_str(), nullptr, 10);
}

unsigned long long readLeadingUnsigned(std::string_view text) {
  return std::strtoull(std::string(text).c_str(), nullptr, 10);
}

bool parseCWhole(std::string_view text, long long& value) {
  const std::string s(text);
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(s.c_str(), &end, 10);
  if (end == s.c_str() || *end != '\0' || errno == ERANGE) return false;
  value = v;
  return true;
}

int extractInt(std::string_view token) {
  std::istringstream in{std::string(token)};
  int v = 0;
  in >> v;
  return v;
}
