// The text library: how a number is read from text. Each policy is written once here and named
// for what it accepts; callers pick the one their format specifies. Depends on nothing but the
// standard library.
#pragma once

#include <cstdint>
#include <string_view>

// Strict: the whole text is one decimal integer in the 32-bit range, with surrounding white space
// and one sign allowed (option values, command-line arguments, data-line fields).
bool parseIntStrict(std::string_view text, int& value);

// Counter: 1 to 9 decimal digits and nothing else, so the value always fits (FEN move counters).
bool parseCounter(std::string_view text, int& value);

// Whole unsigned: the whole text is an unsigned 64-bit decimal, no sign, no white space (byte
// counts the kernel writes).
bool parseWholeU64(std::string_view text, std::uint64_t& value);

// Standard extraction: what reading an int from a stream gives for a token — the leading digits
// with an optional sign ("3x" reads 3), 0 when there are none ("x"), the nearest limit when out of
// range. The UCI loop reads its loose depth arguments this way.
int extractInt(std::string_view token);
