// Output cut into lines and words, for tests that compare what a command or a file holds.
#pragma once

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// The text cut at '\n'; a final line without one is included, no empty line follows a final '\n'.
inline std::vector<std::string> lines(std::string_view text) {
  std::vector<std::string> out;
  while (!text.empty()) {
    const std::size_t nl = text.find('\n');
    out.emplace_back(text.substr(0, nl));
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
  return out;
}

// The blank-separated words of the text.
inline std::vector<std::string> words(std::string_view text) {
  std::istringstream in{std::string(text)};
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

}  // namespace testsupport
