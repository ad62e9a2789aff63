// A whole match: checks before the first game, the workers that play game pairs, the outputs as
// games finish, SPRT stops, faults and recovery, and interruption by SIGINT or SIGTERM.
#pragma once

#include <string>

#include "tools/match/match.h"

namespace Match {

// Plays the match; returns the exit status (see usageText). Messages go to standard error, the
// final report to standard output.
int runMatch(const Settings& s);

}  // namespace Match
