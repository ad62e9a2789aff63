// The parameter vector in and out: name patterns for freezing, the "tuneparams" listing, and C++
// initialisers laid out like the engine's constant tables.
#pragma once

#include <iosfwd>
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

// The listing "quorvane tuneparams" prints: a header line, then "index name value" per parameter.
void writeParamListing(std::ostream& out, const int values[Tune::NPARAMS]);

// Reads such a listing (the header and lines starting with '#' are skipped; every index must appear
// once with its own name). Returns false with a reason in error.
bool readParamListing(std::istream& in, int values[Tune::NPARAMS], std::string& error);

// The tables of the engine's evaluation sources, filled with values, ready to paste over the
// current definitions.
void writeCppTables(std::ostream& out, const int values[Tune::NPARAMS]);

}  // namespace TuneTool
