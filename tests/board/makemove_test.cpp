// make/unmake: every move kind against the expected resulting FEN, incremental state against
// from-scratch values, exact restoration, null moves, and the UCI move text.
#include "board_test_util.h"

namespace {

using namespace boardtest;

struct MoveCase {
  const char* before;
  const char* from;
  const char* to;
  u32 flag;
  const char* after;
};

// Each case: the position after the move, its keys and sums agreeing with a fresh set-up of that
// position, and unmake giving back every field.
const MoveCase kCases[] = {
    // A double push always sets the en-passant square, with no enemy pawn anywhere near.
    {kStartFen, "e2", "e4", kFlagDoublePush, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"},
    // ...and the next move clears it; a knight move counts for the clock.
    {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1", "g8", "f6", kFlagQuiet,
     "rnbqkb1r/pppppppp/5n2/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 1 2"},
    {"4k3/3p4/8/4P3/8/8/8/4K3 b - - 0 1", "d7", "d5", kFlagDoublePush, "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2"},
    // En passant removes the pawn beside the mover and resets the clock.
    {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 5 10", "e5", "d6", kFlagEnPassant, "4k3/8/3P4/8/8/8/8/4K3 b - - 0 10"},
    {"4k3/8/8/8/3Pp3/8/8/4K3 b - d3 7 10", "e4", "d3", kFlagEnPassant, "4k3/8/8/8/8/3p4/8/4K3 w - - 0 11"},
    // Castling moves the rook too, drops both rights of the mover, and does not reset the clock.
    {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 3 5", "e1", "g1", kFlagKingCastle, "r3k2r/8/8/8/8/8/8/R4RK1 b kq - 4 5"},
    {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 3 5", "e1", "c1", kFlagQueenCastle, "r3k2r/8/8/8/8/8/8/2KR3R b kq - 4 5"},
    {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 3 5", "e8", "g8", kFlagKingCastle, "r4rk1/8/8/8/8/8/8/R3K2R w KQ - 4 6"},
    {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 3 5", "e8", "c8", kFlagQueenCastle, "2kr3r/8/8/8/8/8/8/R3K2R w KQ - 4 6"},
    // Rights follow the rook and king squares: leaving a1, capturing on h8, a king step.
    {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 3 5", "a1", "a2", kFlagQuiet, "r3k2r/8/8/8/8/8/R7/4K2R b Kkq - 4 5"},
    {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 3 5", "h1", "h8", kFlagCapture, "r3k2R/8/8/8/8/8/8/R3K3 b Qq - 0 5"},
    {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 3 5", "e1", "f1", kFlagQuiet, "r3k2r/8/8/8/8/8/8/R4K1R b kq - 4 5"},
    {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 3 5", "a8", "a1", kFlagCapture, "4k2r/8/8/8/8/8/8/r3K2R w Kk - 0 6"},
    // Promotions, with and without capture, including an under-promotion and a capture of a castling rook.
    {"4k3/P7/8/8/8/8/8/4K3 w - - 5 1", "a7", "a8", kFlagPromoQueen, "Q3k3/8/8/8/8/8/8/4K3 b - - 0 1"},
    {"1r2k3/P7/8/8/8/8/8/4K3 w - - 5 1", "a7", "b8", kFlagPromoCaptureKnight, "1N2k3/8/8/8/8/8/8/4K3 b - - 0 1"},
    {"4k3/8/8/8/8/8/6p1/4K2R b K - 0 30", "g2", "h1", kFlagPromoCaptureQueen, "4k3/8/8/8/8/8/8/4K2q w - - 0 31"},
    {"4k3/8/8/8/8/8/6p1/4K3 b - - 9 30", "g2", "g1", kFlagPromoRook, "4k3/8/8/8/8/8/8/4K1r1 w - - 0 31"},
    {"4k3/1P6/8/8/8/8/8/4K3 w - - 9 30", "b7", "b8", kFlagPromoBishop, "1B2k3/8/8/8/8/8/8/4K3 b - - 0 30"},
    // Piece captures and single pawn pushes reset the clock.
    {"4k3/8/8/3p4/8/4N3/8/4K3 w - - 10 20", "e3", "d5", kFlagCapture, "4k3/8/8/3N4/8/8/8/4K3 b - - 0 20"},
    {"4k3/8/8/8/8/8/4P3/4K3 w - - 10 20", "e2", "e3", kFlagQuiet, "4k3/8/8/8/8/4P3/8/4K3 b - - 0 20"},
    {"4k3/8/8/3q4/8/8/8/3QK3 w - - 10 20", "d1", "d5", kFlagCapture, "4k3/8/8/3Q4/8/8/8/4K3 b - - 0 20"},
};

TEST(MakeMoveTest, EachMoveKindGivesTheExpectedPositionAndUnmakesExactly) {
  for (const MoveCase& c : kCases) {
    SCOPED_TRACE(std::string(c.before) + " " + c.from + c.to);
    auto board = boardFrom(c.before);
    auto original = std::make_unique<Board>(*board);
    const Move m = encodeMove(sq(c.from), sq(c.to), c.flag);

    board->makeMove(m);
    EXPECT_EQ(board->fen(), c.after);
    EXPECT_EQ(board->historySize, 1);
    EXPECT_EQ(board->history[0].key, original->key);
    expectConsistent(*board);
    auto fresh = boardFrom(board->fen());
    EXPECT_EQ(board->key, fresh->key);
    EXPECT_EQ(board->pawnKey, fresh->pawnKey);

    board->unmakeMove(m);
    expectSameBoard(*board, *original);
  }
}

TEST(MakeMoveTest, CapturedPieceIsRecorded) {
  auto board = boardFrom("4k3/8/8/3pP3/8/8/8/4K3 w - d6 5 10");
  board->makeMove(encodeMove(sq("e5"), sq("d6"), kFlagEnPassant));
  EXPECT_EQ(board->history[0].captured, Pawn);
  board = boardFrom("1r2k3/P7/8/8/8/8/8/4K3 w - - 5 1");
  board->makeMove(encodeMove(sq("a7"), sq("b8"), kFlagPromoCaptureQueen));
  EXPECT_EQ(board->history[0].captured, Rook);
  EXPECT_EQ(board->nonPawnMaterial[Black], 0);
  EXPECT_EQ(board->nonPawnMaterial[White], 1283);
  board->makeMove(encodeMove(sq("e8"), sq("e7"), kFlagQuiet));
  EXPECT_EQ(board->history[1].captured, NoPiece);
}

// A short game through every kind of move; then all of it taken back in reverse order.
TEST(MakeMoveTest, GameLineKeepsKeysAndUnwindsToTheStart) {
  struct Step {
    const char* from;
    const char* to;
    u32 flag;
  };
  const Step line[] = {
      {"e2", "e4", kFlagDoublePush},        {"d7", "d5", kFlagDoublePush}, {"e4", "d5", kFlagCapture},
      {"c7", "c5", kFlagDoublePush},        {"d5", "c6", kFlagEnPassant},  {"g8", "f6", kFlagQuiet},
      {"c6", "b7", kFlagCapture},           {"e7", "e6", kFlagQuiet},      {"b7", "a8", kFlagPromoCaptureQueen},
      {"f8", "e7", kFlagQuiet},             {"g1", "f3", kFlagQuiet},      {"e8", "g8", kFlagKingCastle},
      {"f1", "e2", kFlagQuiet},             {"h7", "h5", kFlagDoublePush}, {"e1", "g1", kFlagKingCastle},
      {"f6", "e4", kFlagQuiet},
  };
  auto board = boardFrom(kStartFen);
  std::vector<std::unique_ptr<Board>> before;
  for (const Step& s : line) {
    before.push_back(std::make_unique<Board>(*board));
    board->makeMove(encodeMove(sq(s.from), sq(s.to), s.flag));
    expectConsistent(*board);
    auto fresh = boardFrom(board->fen());
    EXPECT_EQ(board->key, fresh->key) << board->fen();
  }
  EXPECT_EQ(board->fen(), "Qnbq1rk1/p3bpp1/4p3/7p/4n3/5N2/PPPPBPPP/RNBQ1RK1 w - - 2 9");
  // The undo stack doubles as the list of earlier keys.
  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(board->history[i].key, before[i]->key);
  for (size_t i = before.size(); i-- > 0;) {
    const Step& s = line[i];
    board->unmakeMove(encodeMove(sq(s.from), sq(s.to), s.flag));
    expectSameBoard(*board, *before[i]);
  }
}

TEST(MakeMoveTest, NullMoveDropsAndRestoresTheEnPassantKey) {
  auto board = boardFrom("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  auto original = std::make_unique<Board>(*board);
  board->makeNullMove();
  EXPECT_EQ(board->epSquare, NoSquare);
  EXPECT_EQ(board->side, White);
  EXPECT_EQ(board->fen(), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 1 2");
  EXPECT_EQ(board->key, original->key ^ Zobrist::enPassant[4] ^ Zobrist::sideToMove);
  expectConsistent(*board);
  EXPECT_EQ(board->historySize, 1);
  EXPECT_EQ(board->history[0].key, original->key);

  // Nested with an ordinary move, strictly.
  const Move m = encodeMove(sq("g1"), sq("f3"), kFlagQuiet);
  board->makeMove(m);
  board->unmakeMove(m);
  board->unmakeNullMove();
  expectSameBoard(*board, *original);
}

TEST(MakeMoveTest, MoveToStringWritesUciText) {
  EXPECT_EQ(moveToString(0), "0000");
  EXPECT_EQ(moveToString(encodeMove(sq("a7"), sq("b8"), kFlagPromoCaptureQueen)), "a7b8q");
  EXPECT_EQ(moveToString(encodeMove(sq("a2"), sq("a1"), kFlagPromoKnight)), "a2a1n");
  EXPECT_EQ(moveToString(encodeMove(sq("g2"), sq("h1"), kFlagPromoCaptureRook)), "g2h1r");
  EXPECT_EQ(moveToString(encodeMove(sq("b7"), sq("b8"), kFlagPromoBishop)), "b7b8b");
  EXPECT_EQ(moveToString(encodeMove(sq("e1"), sq("g1"), kFlagKingCastle)), "e1g1");
  EXPECT_EQ(moveToString(encodeMove(sq("e8"), sq("c8"), kFlagQueenCastle)), "e8c8");
  EXPECT_EQ(moveToString(encodeMove(sq("e5"), sq("d6"), kFlagEnPassant)), "e5d6");
  EXPECT_EQ(moveToString(encodeMove(sq("h8"), sq("a1"), kFlagCapture)), "h8a1");
}

TEST(MakeMoveTest, ParseUciMoveReadsSquaresAndPromotionOnly) {
  EXPECT_EQ(parseUCIMove("e2e4"), encodeMove(sq("e2"), sq("e4"), kFlagQuiet));  // no double-push flag
  EXPECT_EQ(parseUCIMove("e1g1"), encodeMove(sq("e1"), sq("g1"), kFlagQuiet));
  EXPECT_EQ(parseUCIMove("a7b8q"), encodeMove(sq("a7"), sq("b8"), kFlagPromoQueen));
  EXPECT_EQ(parseUCIMove("a2a1n"), encodeMove(sq("a2"), sq("a1"), kFlagPromoKnight));
  EXPECT_EQ(parseUCIMove("a2a1b"), encodeMove(sq("a2"), sq("a1"), kFlagPromoBishop));
  EXPECT_EQ(parseUCIMove("a2a1r"), encodeMove(sq("a2"), sq("a1"), kFlagPromoRook));
  EXPECT_EQ(parseUCIMove("e7e8qq"), encodeMove(sq("e7"), sq("e8"), kFlagPromoQueen));  // extra ignored
  EXPECT_EQ(moveFlag(parseUCIMove("e7e8qq")), 11u);
  EXPECT_EQ(parseUCIMove("h8a1"), encodeMove(sq("h8"), sq("a1"), kFlagQuiet));
  EXPECT_EQ(parseUCIMove("a7b8Q"), 0u);
  EXPECT_EQ(parseUCIMove("e2e4x"), 0u);
  EXPECT_EQ(parseUCIMove("e2e"), 0u);
  EXPECT_EQ(parseUCIMove(""), 0u);
  EXPECT_EQ(parseUCIMove("i2e4"), 0u);
  EXPECT_EQ(parseUCIMove("e0e4"), 0u);
  EXPECT_EQ(parseUCIMove("e2e9"), 0u);
  EXPECT_EQ(parseUCIMove("E2E4"), 0u);
  EXPECT_EQ(parseUCIMove("0000"), 0u);
  EXPECT_EQ(parseUCIMove("a1a1"), 0u);  // encodes as no move
  for (const char* text : {"a7b8q", "e2e4", "h1a8n", "c2c1r"}) EXPECT_EQ(moveToString(parseUCIMove(text)), text);
}

}  // namespace
