// Program entry: start-up order of the global tables, then one subcommand or the UCI loop.
#include <cstring>
#include <iostream>

#include "attacks/attacks.h"
#include "board/zobrist.h"
#include "datagen/datagen.h"
#include "eval/endgame.h"
#include "eval/eval.h"
#include "main/commands.h"
#include "search/search.h"
#include "tt/tt.h"
#include "tune/tune.h"
#include "uci/uci.h"
#include "uci/version.h"

int main(int argc, char** argv) {
  Zobrist::init();
  Attacks::init();
  Eval::init();
  Endgame::init();
  Search::init();
  gTT.resize(64);

  if (argc >= 2) {
    const char* cmd = argv[1];
    if (std::strcmp(cmd, "--version") == 0) {
      std::cout << kEngineId << '\n' << std::flush;
      return std::cout ? 0 : 1;
    }
    // Rows are tried in this order; a row whose required arguments are missing falls through.
    if (argc >= 4 && std::strcmp(cmd, "perft") == 0) return cmdPerft(argv[2], argv[3]);
    if (std::strcmp(cmd, "benchsearch") == 0) return cmdBenchSearch(argc, argv);
    if (argc >= 3 && std::strcmp(cmd, "evaltrace") == 0) return cmdEvalTrace(argv[2]);
    if (std::strcmp(cmd, "egscale") == 0) return cmdEgScale();
    if (std::strcmp(cmd, "datagen") == 0) {
      DataGenConfig config;
      if (!parseDataGenArgs(argc - 2, argv + 2, config)) return 1;
      return runDataGen(config);
    }
    if (argc >= 4 && std::strcmp(cmd, "featureexport") == 0) return runFeatureExport(argv[2], argv[3]);
    if (std::strcmp(cmd, "tuneparams") == 0) return runTuneParams();
    if (std::strcmp(cmd, "bench") == 0) return cmdBench();
  }
  uciLoop();
  return 0;
}
