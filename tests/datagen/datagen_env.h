// Shared set-up of the data-tool tests: global tables once per process, a small transposition table
// (every game and opening attempt clears it), temporary files, argument vectors and file helpers.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "datagen/datagen.h"
#include "formats/data_line.h"
#include "search/search.h"
#include "support/startup.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "tt/tt.h"

inline ::testing::Environment* const kDataGenStartUp = testsupport::startUp([] {
  initEngineTables();
  gTT.resize(1);
});

namespace dgtest {

using testsupport::lines;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

// argv-style view of a list of strings (the strings are copied and owned here).
class Args {
 public:
  Args(std::initializer_list<std::string> args) : store_(args) {
    for (auto& s : store_) ptrs_.push_back(s.data());
    ptrs_.push_back(nullptr);
  }
  int count() const { return static_cast<int>(store_.size()); }
  char** argv() { return ptrs_.data(); }

 private:
  std::vector<std::string> store_;
  std::vector<char*> ptrs_;
};

// Game rules that never adjudicate by score: only the rules of chess and maxplies end a game.
inline DataGenConfig noAdjudication(DataGenConfig c) {
  c.resign = 1000000;
  c.draw = -1;
  c.evalcap = 1000000;
  return c;
}

}  // namespace dgtest
