// Program entry: start-up order of the global tables, then one subcommand or the UCI loop.
#include <cstring>
#include <iostream>

#include "datagen/datagen.h"
#include "commands/commands.h"
#include "search/search.h"
#include "tt/tt.h"
#include "tune/tune.h"
#include "uci/uci.h"
#include "uci/version.h"

namespace {

// One line per subcommand, for "--help" and "-h".
void printUsage() {
  std::cout
      << "quorvane — шаховий рушій; без аргументів працює за протоколом UCI\n"
         "  perft FEN ГЛИБИНА          кількість ходів до глибини, окремо для кожного ходу\n"
         "  bench                      perft трьох позицій до глибини 5\n"
         "  benchsearch [ГЛИБИНА]      пошук десяти позицій до однієї глибини (типово 11)\n"
         "  evaltrace FEN              оцінка позиції за складниками\n"
         "  egscale                    коефіцієнт ендшпілю для кожного FEN зі стандартного входу\n"
         "  datagen [ПАРТІЇ] [ФАЙЛ] [КЛЮЧ=ЗНАЧЕННЯ...]  партії рушія з самим собою в файл даних\n"
         "  featureexport ВХІД ВИХІД   ознаки оцінки кожної позиції файлу даних\n"
         "  tuneparams                 параметри оцінки для налаштування\n"
         "  --version                  назва і версія рушія\n";
}

// Runs the subcommand of argv[1] and returns its status, or -1 when no row matches.
int runSubcommand(int argc, char** argv) {
  const char* cmd = argv[1];
  if (std::strcmp(cmd, "--version") == 0) {
    std::cout << kEngineId << '\n';
    return 0;
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
  if (argc >= 4 && std::strcmp(cmd, "featureexport") == 0)
    return runFeatureExport(argv[2], argv[3]);
  if (std::strcmp(cmd, "tuneparams") == 0) return runTuneParams();
  if (std::strcmp(cmd, "bench") == 0) return cmdBench();
  if (std::strcmp(cmd, "--help") == 0 || std::strcmp(cmd, "-h") == 0) {
    printUsage();
    return 0;
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  initEngineTables();
  gTT.resize(64);

  if (argc >= 2) {
    const int status = runSubcommand(argc, argv);
    if (status >= 0) {
      // Output lost to a full disk or a closed pipe must not pass for a finished command.
      if (!std::cout.flush()) {
        std::cerr << argv[1] << ": помилка запису: стандартний вивід\n";
        return 1;
      }
      return status;
    }
  }
  uciLoop();
  return 0;
}
