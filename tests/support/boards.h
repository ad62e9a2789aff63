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

// Every observable field of two positions, the undo records in use included (the slot above
// historySize is scratch). Stops at the first difference.
inline void expectSameBoard(const Board& a, const Board& b) {
  for (int c = 0; c < 2; ++c) {
    for (int p = 0; p < 6; ++p) ASSERT_EQ(a.pieces[c][p], b.pieces[c][p]);
    ASSERT_EQ(a.byColor[c], b.byColor[c]);
    ASSERT_EQ(a.nonPawnMaterial[c], b.nonPawnMaterial[c]);
  }
  ASSERT_EQ(a.occupied, b.occupied);
  for (int s = 0; s < 64; ++s) ASSERT_EQ(a.mailbox[s], b.mailbox[s]) << "square " << s;
  ASSERT_EQ(a.side, b.side);
  ASSERT_EQ(a.epSquare, b.epSquare);
  ASSERT_EQ(a.castlingRights, b.castlingRights);
  ASSERT_EQ(a.halfmoveClock, b.halfmoveClock);
  ASSERT_EQ(a.fullmoveNumber, b.fullmoveNumber);
  ASSERT_EQ(a.key, b.key);
  ASSERT_EQ(a.pawnKey, b.pawnKey);
  ASSERT_EQ(a.psqMg, b.psqMg);
  ASSERT_EQ(a.psqEg, b.psqEg);
  ASSERT_EQ(a.phase, b.phase);
  ASSERT_EQ(a.historySize, b.historySize);
  for (int i = 0; i < a.historySize; ++i) {
    const UndoRecord& x = a.history[i];
    const UndoRecord& y = b.history[i];
    ASSERT_EQ(x.key, y.key) << "record " << i;
    ASSERT_EQ(x.epSquare, y.epSquare) << "record " << i;
    ASSERT_EQ(x.castlingRights, y.castlingRights) << "record " << i;
    ASSERT_EQ(x.halfmoveClock, y.halfmoveClock) << "record " << i;
    ASSERT_EQ(x.captured, y.captured) << "record " << i;
  }
}

}  // namespace testsupport
