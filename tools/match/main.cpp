// quorvane-match: the command line; everything else is in quorvane_matchlib.
#include <iostream>
#include <string>
#include <vector>

#include "tools/match/options.h"
#include "tools/match/runner.h"
#include "tools/match/summary.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "merge") return Match::runMerge({args.begin() + 1, args.end()});
  Match::Settings settings;
  bool help = false;
  std::string error;
  if (!Match::parseOptions(args, settings, help, error)) {
    std::cerr << "quorvane-match: " << error << '\n';
    return 1;
  }
  if (help) {
    std::cout << Match::usageText();
    return 0;
  }
  return Match::runMatch(settings);
}
