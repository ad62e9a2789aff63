// Moves by their UCI text, as a test script names them. The test binary must link the move
// generator (quorvane_movegen or a library above it).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "board/board.h"
#include "movegen/movegen.h"

namespace testsupport {

// The legal move of b whose UCI text is uci, or 0 when there is none.
inline Move findLegal(const Board& b, std::string_view uci) {
  MoveList list;
  generateLegalMoves(b, list);
  for (const Move m : list)
    if (moveToString(m) == uci) return m;
  return 0;
}

// Plays the moves in order; one that is not legal fails the test and ends the line there.
inline void playMoves(Board& b, const std::vector<std::string>& moves) {
  for (const auto& text : moves) {
    const Move m = findLegal(b, text);
    EXPECT_NE(m, 0u) << "test move " << text << " is not legal in " << b.fen();
    if (m == 0) return;
    b.makeMove(m);
  }
}

}  // namespace testsupport
