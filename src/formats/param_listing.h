// The parameter listing ("tuneparams"): a header comment, then "index name value" per parameter of
// the evaluation. The engine's tuneparams command and quorvane-tune write it; the build's
// QUORVANE_PARAMS option, the tuner's --start and its --compare read it.
#pragma once

#include <iosfwd>
#include <string>

#include "eval/paramlist.h"

namespace ParamListing {

// Why a listing was refused: the line it concerns (1-based; 0 when the input could not be read)
// and what is wrong there.
struct Error {
  int line = 0;
  std::string message;
};

// Reads "index name value" lines into values; blank lines and lines whose first non-blank character
// is '#' are skipped, and a UTF-8 byte-order mark and carriage returns are allowed.
// Every parameter must appear exactly once, under its own index and name, with a value inside its
// EvalParams::paramRange. On failure returns false and describes the first fault in error.
bool read(std::istream& in, int values[EvalParams::kParamCount], Error& error);

// Writes the listing of values: the header line, then every parameter in order.
void write(std::ostream& out, const int values[EvalParams::kParamCount]);

}  // namespace ParamListing
