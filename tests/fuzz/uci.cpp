// The UCI command handler fed whole lines in-process. Every input starts from a fresh game with one
// thread and the smallest table; lines that would only make the run slow (large tables, many
// threads, deep perft, the search benchmark) are left out, and every search is stopped as soon as
// its "go" has been read, so each input costs little: what is under test is the reading of the
// commands, not the search.
#include "uci/uci.h"

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "search/search.h"
#include "search/thread.h"
#include "timeman/timeman.h"
#include "tt/tt.h"

namespace {

// Whether the line asks for more work or memory than a fuzz input may take.
bool tooCostly(std::string_view line) {
  std::istringstream is{std::string(line)};
  std::string cmd;
  is >> cmd;
  if (cmd == "benchsearch") return true;
  if (cmd == "perft") {
    // Read as the handler reads it: a number as far as it goes, 0 when there is none.
    std::string token;
    int depth = 0;
    if (is >> token) std::istringstream(token) >> depth;
    return depth > 2;
  }
  if (cmd != "setoption") return false;
  std::string token, name, value;
  is >> token;
  while (is >> token && token != "value") name += (name.empty() ? "" : " ") + token;
  while (is >> token) value += (value.empty() ? "" : " ") + token;
  std::transform(name.begin(), name.end(), name.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
  int v = 0;
  if (!parseIntStrict(value, v)) return false;
  return (name == "hash" && v > 1) || (name == "threads" && v > 2);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  initEngineTables();
  fuzzsupport::silenceStreams();
  gThreads.set(1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A fresh game: what an earlier input left behind must not decide what this one does.
  if (gThreadCount != 1 || gThreads.size() != 1) {
    gThreadCount = 1;
    gThreads.set(1);
  }
  if (gTT.bucketCount() != 1) gTT.resize(0);
  gMoveOverhead = 10;
  uciCommand("ucinewgame");

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const std::string& line : testsupport::lines(text)) {
    if (tooCostly(line)) continue;
    if (!uciCommand(line)) break;
    if (line.find("go") != std::string_view::npos) uciCommand("stop");
  }
  uciCommand("stop");
  return 0;
}
