// Command-line subcommands; each returns the process exit status.
#pragma once

#include "board/board.h"

extern Board gBoard;  // position of the perft/bench/evaltrace/egscale subcommands

int cmdPerft(const char* fen, const char* depth);
int cmdBench();
int cmdBenchSearch(int argc, char** argv);
int cmdEvalTrace(const char* fen);
int cmdEgScale();
