// The UCI protocol loop and the small parsing/reporting helpers it shares with the command line.
#pragma once

#include <string_view>

#include "board/board.h"

void uciLoop();
bool parseIntStrict(std::string_view text, int& value);
void infoString(std::string_view text);

extern Board gPos;
