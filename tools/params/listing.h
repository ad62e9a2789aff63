// Reading a parameter listing in the "tuneparams" format: the one reader behind the build's
// QUORVANE_PARAMS option and the tuner's --start.
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

}  // namespace ParamListing
