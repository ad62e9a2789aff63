// "benchsearch" subcommand: the fixed search benchmark at an optional depth.
#include <iostream>

#include "commands/commands.h"
#include "search/search.h"
#include "uci/uci.h"

int cmdBenchSearch(int argc, char** argv) {
  int depth = 0;  // below 1: the benchmark's own default depth
  if (argc >= 3 && (!parseIntStrict(argv[2], depth) || depth < 1)) {
    std::cerr << "benchsearch: глибина має бути цілим числом >= 1\n";
    return 1;
  }
  if (!runBenchSearch(depth)) {
    std::cerr << "benchsearch: не вдалося створити потік пошуку\n";
    return 1;
  }
  return 0;
}
