// Freeze patterns.
#include "tools/tune/freeze.h"


namespace TuneTool {

bool globMatch(std::string_view pattern, std::string_view name) {
  // Iterative matcher with one backtrack point: the last '*' and where its run may resume.
  std::size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p, ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool freezeByPatterns(std::string_view patterns, std::vector<bool>& frozen, std::string& error) {
  frozen.resize(Tune::NPARAMS, false);
  for (;;) {
    const std::size_t comma = patterns.find(',');
    const std::string_view pattern = patterns.substr(0, comma);
    if (pattern.empty()) {
      error = "empty freeze pattern";
      return false;
    }
    bool any = false;
    for (int i = 0; i < Tune::NPARAMS; ++i)
      if (globMatch(pattern, Tune::paramName(i))) frozen[static_cast<std::size_t>(i)] = any = true;
    if (!any) {
      error = "freeze pattern '" + std::string(pattern) + "' matches no parameter";
      return false;
    }
    if (comma == std::string_view::npos) return true;
    patterns.remove_prefix(comma + 1);
  }
}

}  // namespace TuneTool
