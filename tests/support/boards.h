// A board set from a FEN the test relies on (a FEN the board refuses fails the test).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "board/board.h"

namespace testsupport {

// Boards are large (the undo stack): keep them off the test's stack frame.
inline std::unique_ptr<Board> boardFrom(const std::string& fen) {
  auto b = std::make_unique<Board>();
  b->reset();
  EXPECT_TRUE(b->setFen(fen)) << fen;
  return b;
}

}  // namespace testsupport
