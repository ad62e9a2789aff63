// Command-line settings of "datagen": KEY=VALUE pairs and up to two positional arguments.
#include <iostream>
#include <string>
#include <string_view>

#include "datagen/datagen.h"
#include "text/numbers.h"

namespace {

// A games count must be a whole number, and not a negative one: "--help" or "-3" read as 0 games
// would still truncate the output.
bool readGames(const std::string& text, long long& games) {
  long long v = 0;
  if (!parseCWhole(text, v)) {
    std::cerr << "datagen: кількість партій має бути числом: " << text << "\n";
    return false;
  }
  if (v < 0) {
    std::cerr << "datagen: кількість партій не може бути від'ємною: " << text << "\n";
    return false;
  }
  games = v;
  return true;
}

// Numbers are read the lenient C way (readLeadingInt): settings come from scripts that are not
// checked here. C++20 conversions to a narrower signed type keep the low bits, which is the
// documented reading.
int readInt32(const std::string& text) { return static_cast<int>(readLeadingInt(text)); }

// False for an unknown key or a games count that is not a number (reported here).
bool applySetting(std::string_view key, const std::string& value, DataGenConfig& c) {
  if (key == "games") return readGames(value, c.games);
  if (key == "out")
    c.out = value;
  else if (key == "seed")
    c.seed = readLeadingUnsigned(value);
  else if (key == "nodes")
    c.nodes = readLeadingInt(value);
  else if (key == "maxdepth")
    c.maxdepth = readInt32(value);
  else if (key == "randomplies")
    c.randomplies = readInt32(value);
  else if (key == "openingcap")
    c.openingcap = readInt32(value);
  else if (key == "openingtries")
    c.openingtries = readInt32(value);
  else if (key == "resign")
    c.resign = readInt32(value);
  else if (key == "resignplies")
    c.resignplies = readInt32(value);
  else if (key == "draw")
    c.draw = readInt32(value);
  else if (key == "drawplies")
    c.drawplies = readInt32(value);
  else if (key == "drawmin")
    c.drawmin = readInt32(value);
  else if (key == "maxplies")
    c.maxplies = readInt32(value);
  else if (key == "evalcap")
    c.evalcap = readInt32(value);
  else if (key == "skipcheck")
    c.skipcheck = readLeadingInt(value) != 0;
  else if (key == "skipquiet")
    c.skipquiet = readLeadingInt(value) != 0;
  else if (key == "score")
    c.score = readLeadingInt(value) != 0;
  else if (key == "progress")
    c.progress = readLeadingInt(value);
  else if (key == "threads")
    c.threads = readInt32(value);
  else if (key == "sample")
    c.sample = readInt32(value);
  else if (key == "minply")
    c.minply = readInt32(value);
  else {
    std::cerr << "datagen: невідомий параметр: " << key << "\n";
    return false;
  }
  return true;
}

}  // namespace

bool parseDataGenArgs(int count, char** arguments, DataGenConfig& config) {
  int positional = 0;
  for (int i = 0; i < count; ++i) {
    const std::string arg = arguments[i];
    // An option-like word ("--help", "-n") is a mistake, never a count or a path to overwrite.
    if (!arg.empty() && arg[0] == '-') {
      std::cerr << "datagen: невідомий параметр: " << arg << "\n";
      return false;
    }
    const std::size_t eq = arg.find('=');
    if (eq != std::string::npos) {
      if (!applySetting(std::string_view(arg).substr(0, eq), arg.substr(eq + 1), config))
        return false;
      continue;
    }
    if (positional == 0) {
      if (!readGames(arg, config.games)) return false;
    } else if (positional == 1) {
      config.out = arg;
    } else {
      std::cerr << "datagen: зайвий аргумент: " << arg << "\n";
      return false;
    }
    ++positional;
  }
  // Every worker has a table as large as the one search table, so a silly count must not start.
  if (config.threads < 1 || config.threads > kMaxDataGenThreads) {
    std::cerr << "datagen: threads має бути від 1 до " << kMaxDataGenThreads << ": "
              << config.threads << "\n";
    return false;
  }
  return true;
}
