// Long games: the halfmove clock saturates instead of wrapping, and trimming keeps the undo stack
// bounded without losing the records repetition detection reads.
#include "board_test_util.h"

namespace {

using namespace boardtest;

// Knight and king shuffle: after every 4 plies the position repeats.
const Move kShuffle[4] = {
    encodeMove(sq("g1"), sq("f3"), kFlagQuiet),
    encodeMove(sq("e8"), sq("d8"), kFlagQuiet),
    encodeMove(sq("f3"), sq("g1"), kFlagQuiet),
    encodeMove(sq("d8"), sq("e8"), kFlagQuiet),
};
constexpr const char* kShuffleFen = "4k3/8/8/8/8/8/8/4K1N1 w - - 0 1";

TEST(HistoryTest, HalfmoveClockSaturatesAt255) {
  auto board = boardFrom(kShuffleFen);
  int previous = 0;
  for (int ply = 0; ply < 300; ++ply) {
    board->makeMove(kShuffle[ply % 4]);
    EXPECT_GE(board->halfmoveClock, previous) << "clock wrapped at ply " << ply;
    previous = board->halfmoveClock;
  }
  EXPECT_EQ(board->halfmoveClock, 255);
  // Null moves saturate the same way, and unmaking restores the saved values.
  board->makeNullMove();
  EXPECT_EQ(board->halfmoveClock, 255);
  board->unmakeNullMove();
  for (int ply = 299; ply >= 0; --ply) board->unmakeMove(kShuffle[ply % 4]);
  EXPECT_EQ(board->halfmoveClock, 0);
  EXPECT_EQ(board->fen(), kShuffleFen);

  for (int ply = 0; ply < 200; ++ply) board->makeMove(kShuffle[ply % 4]);
  for (int i = 0; i < 80; ++i) board->makeNullMove();
  EXPECT_EQ(board->halfmoveClock, 255);
  for (int i = 0; i < 80; ++i) board->unmakeNullMove();
  EXPECT_EQ(board->halfmoveClock, 200);
}

TEST(HistoryTest, TrimmingKeepsLongGamesInBoundsWithRepetitionsVisible) {
  auto board = boardFrom(kShuffleFen);
  int maxSize = 0;
  for (int ply = 0; ply < 2400; ++ply) {
    board->makeMove(kShuffle[ply % 4]);
    board->trimHistory();
    maxSize = std::max(maxSize, board->historySize);
    ASSERT_EQ(board->historySize, std::min(ply + 1, static_cast<int>(board->halfmoveClock)));
    if (ply >= 3 && ply % 4 == 3) {
      // Back at the start position: the key four and eight plies ago must still be on record.
      ASSERT_EQ(board->history[board->historySize - 4].key, board->key) << "ply " << ply;
      if (board->historySize >= 8) {
        ASSERT_EQ(board->history[board->historySize - 8].key, board->key);
      }
    }
  }
  EXPECT_EQ(maxSize, 255);
  EXPECT_EQ(board->fen(), "4k3/8/8/8/8/8/8/4K1N1 w - - 255 1201");
  expectConsistent(*board);
}

TEST(HistoryTest, TrimKeepsTheNewestRecordsInOrder) {
  auto board = boardFrom("4k3/8/8/8/8/8/4P3/4K1N1 w - - 0 1");
  const Move line[5] = {kShuffle[0], kShuffle[1], encodeMove(sq("e2"), sq("e3"), kFlagQuiet), kShuffle[3],
                        kShuffle[2]};
  for (Move m : line) board->makeMove(m);
  auto untrimmed = std::make_unique<Board>(*board);
  ASSERT_EQ(board->halfmoveClock, 2);  // the pawn move reset it two plies ago
  board->trimHistory();
  ASSERT_EQ(board->historySize, 2);
  EXPECT_EQ(board->history[0].key, untrimmed->history[3].key);
  EXPECT_EQ(board->history[1].key, untrimmed->history[4].key);
  // The kept records are still whole undo records.
  for (int i = 4; i >= 3; --i) {
    board->unmakeMove(line[i]);
    untrimmed->unmakeMove(line[i]);
    EXPECT_EQ(board->fen(), untrimmed->fen());
    EXPECT_EQ(board->key, untrimmed->key);
  }
  EXPECT_EQ(board->historySize, 0);
}

TEST(HistoryTest, TrimAfterSetFenWithALargeClockKeepsEverything) {
  auto board = boardFrom("4k3/8/8/8/8/8/8/4K1N1 w - - 60 40");
  for (int ply = 0; ply < 8; ++ply) board->makeMove(kShuffle[ply % 4]);
  board->trimHistory();
  EXPECT_EQ(board->historySize, 8);
  EXPECT_EQ(board->history[4].key, board->key);
  EXPECT_EQ(board->history[0].key, board->key);
  board->makeMove(kShuffle[0]);
  board->unmakeMove(kShuffle[0]);
  EXPECT_EQ(board->fen(), "4k3/8/8/8/8/8/8/4K1N1 w - - 68 44");
}

}  // namespace
