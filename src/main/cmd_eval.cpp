// "evaltrace" and "egscale" subcommands (placeholder until evaluation lands).
#include "main/commands.h"

int cmdEvalTrace(const char*) { return 0; }
int cmdEgScale() { return 0; }
