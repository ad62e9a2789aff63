// Strict decimal parsing shared by the UCI loop, the command line and the data tools.
#pragma once

#include <string_view>

bool parseIntStrict(std::string_view text, int& value);
