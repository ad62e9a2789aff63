// Shared set-up of the movegen test binaries: the global tables are filled once per process.
#pragma once

#include <gtest/gtest.h>

#include "attacks/attacks.h"
#include "board/board.h"
#include "board/zobrist.h"
#include "support/squares.h"

class MovegenEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    Zobrist::init();
    Attacks::init();
  }
};

// An inline variable is initialised once per program however many test files include this header.
inline ::testing::Environment* const kMovegenEnvironment =
    ::testing::AddGlobalTestEnvironment(new MovegenEnvironment);

namespace movegentest {

inline Board at(const char* fen) {
  Board b;
  EXPECT_TRUE(b.setFen(fen)) << fen;
  return b;
}

}  // namespace movegentest
