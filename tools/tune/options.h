// The command line of quorvane-tune.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/tune/dataset.h"

namespace TuneTool {

struct Options {
  std::vector<std::string> files;
  int epochs = 100;
  double lr = 1.0;
  double lrDecay = 1.0;
  std::size_t batch = 16384;
  int threads = 1;  // set from the hardware by parseOptions
  double validation = 0.1;
  std::uint64_t seed = 1;
  std::vector<std::string> freeze;  // comma-separated pattern lists, one per --freeze
  double k = 0;                     // 0: fit K
  std::string start;                // listing to start from instead of the engine's values
  std::string out;                  // empty: standard output
  std::string log;                  // empty: no per-epoch loss table
  FileFormat format = FileFormat::Auto;
  double lambda = 0;  // weight of the search score in the target
  double reg = 0;     // L2 pull towards the starting values
  int maxScore = 0;   // > 0: leave out data lines scored beyond +-maxScore
  bool dropCheck = false;
  bool dropNoisy = false;
  bool dedup = false;
  bool resolve = false;
  bool help = false;
  bool check = false;  // stop after checking the options, the --start listing and the outputs
  bool compare = false;  // files are two listings to print side by side
};

// Fills options from argv[1..argc-1]; returns false with a one-line reason in error on a bad
// option, a bad value or no input file (unless --help was given).
bool parseOptions(int argc, const char* const argv[], Options& options, std::string& error);

const char* usageText();

}  // namespace TuneTool
