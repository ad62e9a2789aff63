// The text library: how a number is read from text. Each policy is written once here and named
// for what it accepts; callers pick the one their format specifies. Depends on nothing but the
// standard library.
#pragma once

#include <charconv>
#include <cstdint>
#include <string_view>
#include <system_error>

// Strict: the whole text is one decimal integer in the 32-bit range, with surrounding white space
// and one sign allowed (option values, command-line arguments, data-line fields).
bool parseIntStrict(std::string_view text, int& value);

// Counter: 1 to 9 decimal digits and nothing else, so the value always fits (FEN move counters).
bool parseCounter(std::string_view text, int& value);

// Whole: the whole text is one decimal integer of type T as std::from_chars reads it: an optional
// '-' (signed types only) and digits, nothing else (no '+', no blanks). readWhole tells a number
// beyond T's range apart from no number. The file formats (feature lines, parameter listings) and
// quorvane-tune's options read their integers this way, and so are the byte counts the kernel
// writes (std::uint64_t).
enum class WholeRead { Ok, NotANumber, OutOfRange };

template <class T>
WholeRead readWhole(std::string_view text, T& value) {
  T v{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec == std::errc::result_out_of_range) return WholeRead::OutOfRange;
  if (ec != std::errc() || end != text.data() + text.size()) return WholeRead::NotANumber;
  value = v;
  return WholeRead::Ok;
}

template <class T>
bool parseWhole(std::string_view text, T& value) {
  return readWhole(text, value) == WholeRead::Ok;
}

// Whole real: the whole text is one finite decimal number as std::from_chars reads it ("0.5",
// "-1e3"; no '+', no blanks, no "inf" or "nan").
bool parseWholeReal(std::string_view text, double& value);

// Leading (C): what strtoll reads: leading white space, one sign, then the digits up to the first
// other character; 0 when there are none, the nearest limit when out of range. datagen reads its
// settings this way (they come from scripts, and are not checked).
long long readLeadingInt(std::string_view text);
// The same for an unsigned value, as strtoull reads it (a '-' negates modulo 2^64).
unsigned long long readLeadingUnsigned(std::string_view text);
// C whole: as readLeadingInt, but the digits must run to the end of the text (no trailing blanks)
// and the number must fit; false otherwise. datagen's games count.
bool parseCWhole(std::string_view text, long long& value);

// Standard extraction: what reading an int from a stream gives for a token — the leading digits
// with an optional sign ("3x" reads 3), 0 when there are none ("x"), the nearest limit when out of
// range. The UCI loop reads its loose depth arguments this way.
int extractInt(std::string_view token);
