// The formats' one rule for the end of a line: trailing blanks, tabs, carriage returns and line
// feeds are not part of it (files written on Windows, editors that pad lines).
#pragma once

#include <string_view>

namespace Formats {

inline std::string_view trimTrailingBlanks(std::string_view s) {
  while (!s.empty()) {
    const char c = s.back();
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') break;
    s.remove_suffix(1);
  }
  return s;
}

}  // namespace Formats
