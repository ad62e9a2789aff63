// "benchsearch" subcommand (placeholder until search lands).
#include "main/commands.h"

int cmdBenchSearch(int, char**) { return 0; }
