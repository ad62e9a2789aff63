// The command line, in the style of the established match managers (-engine cmd= name= ...).
#pragma once

#include <string>
#include <vector>

#include "tools/match/match.h"

namespace Match {

// Parses the arguments after the program name. False with one message on bad input; help is
// set for -help (nothing else is then checked).
bool parseOptions(const std::vector<std::string>& args, Settings& s, bool& help, std::string& error);

const char* usageText();

}  // namespace Match
