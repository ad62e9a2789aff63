// Name patterns for freezing parameters.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tune/tune.h"

namespace TuneTool {

// Shell-style match of the whole name: '*' any run of characters, '?' one character.
bool globMatch(std::string_view pattern, std::string_view name);

// Marks in frozen (NPARAMS entries) every parameter whose name matches one of the comma-separated
// patterns. Returns false and names the culprit in error when a pattern is empty or matches nothing
// (a mistyped pattern would otherwise silently freeze nothing).
bool freezeByPatterns(std::string_view patterns, std::vector<bool>& frozen, std::string& error);

}  // namespace TuneTool
