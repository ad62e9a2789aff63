// "perft" and "bench" subcommands (placeholder until move generation lands).
#include "main/commands.h"

Board gBoard;

int cmdPerft(const char*, const char*) { return 0; }
int cmdBench() { return 0; }
