// Shared set-up of the search tests: global tables once per process, a small TT, and helpers to
// drive a search thread directly and to capture standard output.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "search/search.h"
#include "support/capture.h"
#include "search/thread.h"
#include "support/startup.h"
#include "tt/tt.h"

inline ::testing::Environment* const kSearchStartUp = testsupport::startUp([] {
  initEngineTables();
  gTT.resize(64);  // the program's own default, so that benchmark node counts match it
});

namespace searchtest {

using testsupport::StreamCapture;

struct FixedSearch {
  Move move = 0;
  int score = 0;
};

// A fresh fixed-depth search of one position on a parked thread with id 1, as datagen runs it.
inline FixedSearch searchFen(const std::string& fen, int depth) {
  auto t = std::make_unique<Thread>(1);
  EXPECT_TRUE(t->board.setFen(fen)) << fen;
  gTT.clear();
  t->clearForSearch();
  FixedSearch r;
  r.move = searchForDataGen(*t, depth, 0, r.score);
  return r;
}

}  // namespace searchtest
