// Shared set-up of the search tests: global tables once per process, a small TT, and helpers to
// drive a search thread directly and to capture standard output.
#pragma once

#include "support/engine_init.h"
#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "attacks/attacks.h"
#include "board/zobrist.h"
#include "eval/endgame.h"
#include "eval/eval.h"
#include "search/search.h"
#include "thread/thread.h"
#include "tt/tt.h"

class SearchEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    testsupport::initEngineTables();
    gTT.resize(64);  // the program's own default, so that benchmark node counts match it
  }
};

inline ::testing::Environment* const kSearchEnvironment =
    ::testing::AddGlobalTestEnvironment(new SearchEnvironment);

namespace searchtest {

// Redirects std::cout into a string for the lifetime of the object.
class CoutCapture {
 public:
  CoutCapture() : old_(std::cout.rdbuf(buf_.rdbuf())) {}
  ~CoutCapture() { std::cout.rdbuf(old_); }
  CoutCapture(const CoutCapture&) = delete;
  CoutCapture& operator=(const CoutCapture&) = delete;
  std::string text() const { return buf_.str(); }

 private:
  std::ostringstream buf_;
  std::streambuf* old_;
};

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
