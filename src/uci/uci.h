// The UCI protocol loop and the small parsing/reporting helpers it shares with the command line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "board/board.h"
#include "text/numbers.h"

void uciLoop();
void infoString(std::string_view text);

// One input line of the loop (trailing blanks and line ends allowed); false when it was "quit".
// The pool must exist (ThreadPool::set) before the first call.
bool uciCommand(std::string_view line);

// Text of the report when the requested hash size is cut down to fit the machine's memory.
std::string hashCapMessage(std::uint64_t requestedMb, std::uint64_t physicalBytes, std::uint64_t cappedMb);

extern Board gPos;
