// FEN reading and writing: the textual rules, silent repairs, legality, and material limits.
#include "board_test_util.h"
#include "support/positions.h"

namespace {

using namespace boardtest;

class FenTest : public ::testing::Test {
 protected:
  void SetUp() override { board = boardFrom(kStartFen); }

  // A rejected text must leave the previous position exactly as it was.
  void expectRejectedUnchanged(const std::string& fen) {
    ASSERT_TRUE(board->setFen(kStartFen));
    board->makeMove(encodeMove(sq("g1"), sq("f3"), kFlagQuiet));  // some history to preserve
    const std::string before = board->fen();
    const u64 key = board->key;
    EXPECT_FALSE(board->setFen(fen)) << fen;
    EXPECT_EQ(board->fen(), before) << fen;
    EXPECT_EQ(board->key, key) << fen;
    EXPECT_EQ(board->historySize, 1) << fen;
  }

  std::unique_ptr<Board> board;
};

TEST_F(FenTest, CanonicalFensRoundTrip) {
  const char* fens[] = {
      kStartFen,
      kKiwipete,
      kRookPawnEnding,
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
      "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
      "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
      "rnbqkbnr/pppp1ppp/8/8/3Pp3/8/PPP1PPPP/RNBQKBNR b Kq d3 0 3",
      "4k3/8/8/8/8/8/8/4K3 b - - 100 999999999",
  };
  for (const char* f : fens) {
    ASSERT_TRUE(board->setFen(f)) << f;
    EXPECT_EQ(board->fen(), f);
    expectConsistent(*board);
    EXPECT_EQ(board->historySize, 0);
  }
}

TEST_F(FenTest, PlacementMustBeEightRanksOfEightFiles) {
  expectRejectedUnchanged("8/8/8/8/8/8/8/8 w - - 0 1");                          // no kings
  expectRejectedUnchanged("4k3/9/8/8/8/8/8/4K3 w - - 0 1");                      // digit 9
  expectRejectedUnchanged("4k3/44p/8/8/8/8/8/4K3 w - - 0 1");                    // 4+4+piece = 9 files
  expectRejectedUnchanged("4k3/0p7/8/8/8/8/8/4K3 w - - 0 1");                    // digit 0
  expectRejectedUnchanged("4k3/8/8/8/8/8/8 w - - 0 1");                          // seven ranks
  expectRejectedUnchanged("4k3/8/8/8/8/8/8/4K3/8 w - - 0 1");                    // nine ranks
  expectRejectedUnchanged("4k3/7/8/8/8/8/8/4K3 w - - 0 1");                      // short rank
  expectRejectedUnchanged("4k3/8/8/8/8/8/8/4K2 w - - 0 1");                      // short last rank
  expectRejectedUnchanged("4k3/8/8/8/8/8/8/4K3/ w - - 0 1");                     // trailing slash
  expectRejectedUnchanged("4k3/8/8/3x4/8/8/8/4K3 w - - 0 1");                    // unknown letter
  expectRejectedUnchanged("4k3/8/8/8/8/8/8/4KK2 w - - 0 1");                     // two white kings
  expectRejectedUnchanged("4k3/8/8/8/8/8/8/8 w - - 0 1");                        // no white king
  expectRejectedUnchanged("P3k3/8/8/8/8/8/8/4K3 w - - 0 1");                     // pawn on rank 8
  expectRejectedUnchanged("4k3/8/8/8/8/8/8/p3K3 w - - 0 1");                     // pawn on rank 1
  EXPECT_TRUE(board->setFen("4k3/71/8/8/8/8/8/4K3 w - - 0 1"));                  // 7 then 1 is 8
  EXPECT_EQ(board->fen(), "4k3/8/8/8/8/8/8/4K3 w - - 0 1");
}

TEST_F(FenTest, SideCastlingAndEnPassantTokens) {
  ASSERT_TRUE(board->setFen("4k3/8/8/8/8/8/8/4K3 W - - 0 1"));
  EXPECT_EQ(board->side, White);
  ASSERT_TRUE(board->setFen("4k3/8/8/8/8/8/8/4K3 B - - 0 1"));
  EXPECT_EQ(board->side, Black);
  expectRejectedUnchanged("4k3/8/8/8/8/8/8/4K3 x - - 0 1");
  expectRejectedUnchanged("4k3/8/8/8/8/8/8/4K3 wb - - 0 1");
  expectRejectedUnchanged("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkqK - 0 1");
  expectRejectedUnchanged("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KK - 0 1");
  expectRejectedUnchanged("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w K- - 0 1");
  expectRejectedUnchanged("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w A - 0 1");
  expectRejectedUnchanged("4k3/8/8/8/8/8/8/4K3 w - e - 0 1");
  expectRejectedUnchanged("4k3/8/8/8/8/8/8/4K3 w - e9 0 1");
  expectRejectedUnchanged("4k3/8/8/8/8/8/8/4K3 w - i6 0 1");
  expectRejectedUnchanged("4k3/8/8/8/8/8/8/4K3 w - e6e 0 1");
  expectRejectedUnchanged("4k3/8/8/8/8/8/8/4K3 w -");  // fewer than four tokens

  // Rights whose rook has left its corner are dropped silently.
  ASSERT_TRUE(board->setFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPR/RNBQKBN1 w KQkq - 0 1"));
  EXPECT_EQ(board->fen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPR/RNBQKBN1 w Qkq - 0 1");
  expectConsistent(*board);  // the key carries the repaired rights
  ASSERT_TRUE(board->setFen("r3k2r/8/8/8/8/8/8/R4K1R w KQkq - 0 1"));  // white king off e1
  EXPECT_EQ(board->castlingRights, 4 | 8);
  ASSERT_TRUE(board->setFen("r3k3/8/8/8/8/8/8/4K3 w kq - 0 1"));
  EXPECT_EQ(board->castlingRights, 8);
}

TEST_F(FenTest, EnPassantSquareSurvivesOnlyAfterAPossibleDoublePush) {
  // e3 with white to move is on the wrong rank.
  ASSERT_TRUE(board->setFen("4k3/8/8/8/4P3/8/8/4K3 w - e3 0 1"));
  EXPECT_EQ(board->epSquare, NoSquare);
  // e6 with a black pawn on e5 and e6, e7 empty survives, though no white pawn can capture.
  ASSERT_TRUE(board->setFen("4k3/8/8/4p3/8/8/8/4K3 w - e6 0 1"));
  EXPECT_EQ(board->epSquare, sq("e6"));
  EXPECT_EQ(board->fen(), "4k3/8/8/4p3/8/8/8/4K3 w - e6 0 1");
  expectConsistent(*board);
  // The pawn that moved must be there, and both squares it crossed empty.
  ASSERT_TRUE(board->setFen("4k3/8/8/8/8/8/8/4K3 w - e6 0 1"));
  EXPECT_EQ(board->epSquare, NoSquare);
  ASSERT_TRUE(board->setFen("4k3/4p3/8/4p3/8/8/8/4K3 w - e6 0 1"));
  EXPECT_EQ(board->epSquare, NoSquare);
  ASSERT_TRUE(board->setFen("4k3/8/4n3/4p3/8/8/8/4K3 w - e6 0 1"));
  EXPECT_EQ(board->epSquare, NoSquare);
  ASSERT_TRUE(board->setFen("4k3/8/8/4P3/8/8/8/4K3 w - e6 0 1"));  // own pawn, not theirs
  EXPECT_EQ(board->epSquare, NoSquare);
  // Black to move: rank 3 behind a white pawn on rank 4.
  ASSERT_TRUE(board->setFen("4k3/8/8/8/3P4/8/8/4K3 b - d3 0 1"));
  EXPECT_EQ(board->epSquare, sq("d3"));
  ASSERT_TRUE(board->setFen("4k3/8/8/8/3P4/8/8/4K3 b - d6 0 1"));
  EXPECT_EQ(board->epSquare, NoSquare);
}

TEST_F(FenTest, Counters) {
  const struct {
    const char* fen;
    int halfmoveClock, fullmoveNumber;
  } cases[] = {
      {"4k3/8/8/8/8/8/8/4K3 w - -", 0, 1},
      {"4k3/8/8/8/8/8/8/4K3 w - - 7", 7, 1},
      {"4k3/8/8/8/8/8/8/4K3 w - - 150 0", 100, 1},
      {"  4k3/8/8/8/8/8/8/4K3\tw  -   -  3 42 trailing tokens ignored", 3, 42},
      {"4k3/8/8/8/8/8/8/4K3 w - - 000000099 123456789", 99, 123456789},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(board->setFen(c.fen)) << c.fen;
    EXPECT_EQ(board->halfmoveClock, c.halfmoveClock) << c.fen;
    EXPECT_EQ(board->fullmoveNumber, c.fullmoveNumber) << c.fen;
  }
  expectRejectedUnchanged("4k3/8/8/8/8/8/8/4K3 w - - abc");
  expectRejectedUnchanged("4k3/8/8/8/8/8/8/4K3 w - - 0 abc");
  expectRejectedUnchanged("4k3/8/8/8/8/8/8/4K3 w - - 0 1234567890");
  expectRejectedUnchanged("4k3/8/8/8/8/8/8/4K3 w - - +5 1");
  expectRejectedUnchanged("4k3/8/8/8/8/8/8/4K3 w - - -5 1");
}

TEST_F(FenTest, CapturableKingLeavesAnEmptyBoard) {
  // The side to move attacks the other king: it could capture it.
  EXPECT_FALSE(board->setFen("4k3/8/8/8/8/8/8/r5K1 b - - 0 1"));
  ASSERT_TRUE(board->setFen(kStartFen));
  EXPECT_FALSE(board->setFen("4k3/8/8/8/8/8/8/4R1K1 w - - 0 1"));
  EXPECT_EQ(board->occupied, 0u);
  EXPECT_EQ(board->key, 0u);
  EXPECT_EQ(board->historySize, 0);
  EXPECT_EQ(board->fen(), "8/8/8/8/8/8/8/8 w - - 0 1");
  // The side to move may be in check from several pieces.
  ASSERT_TRUE(board->setFen("4k3/8/8/8/8/8/3n4/r3K3 w - - 0 1"));
  EXPECT_TRUE(board->inCheck());
}

// More material than a game can produce is refused like any other malformed text. Besides being
// nonsense, such positions could overflow a 256-entry move list.
TEST_F(FenTest, ImpossibleMaterialIsRejectedAndTheBoardKept) {
  expectRejectedUnchanged("QQQQQQQk/QQQQQQQQ/QQQQQQQQ/8/8/QQQQQQQQ/QQQQQQQQ/QQQQQQQK w - - 0 1");
  expectRejectedUnchanged("4k3/8/8/8/8/8/PPPPPPPP/P3K3 w - - 0 1");            // nine pawns
  expectRejectedUnchanged("4k3/pppppppp/p7/8/8/8/8/4K3 w - - 0 1");            // nine black pawns
  expectRejectedUnchanged("4k3/8/8/8/5QQQ/8/PPPPPPP1/4K3 w - - 0 1");          // 3 queens, only 1 pawn missing
  expectRejectedUnchanged("4k3/8/8/8/NNN5/8/PPPPPPPP/4K3 w - - 0 1");          // third knight, no pawn missing
  expectRejectedUnchanged("rnbqkbnr/pppppppp/r7/8/8/8/8/4K3 w - - 0 1");       // 17 black pieces
}

TEST_F(FenTest, PromotionRichGamePositionsAreAccepted) {
  const char* fens[] = {
      "4k3/8/8/8/6QQ/8/PPPPPP2/4K3 w - - 0 1",                                 // 2 queens, 6 pawns
      "4k3/8/8/8/6QQ/8/PPPPPPP1/4K3 w - - 0 1",                                // 2 queens, 7 pawns
      "1q2k3/8/8/8/QQQ5/8/PPPPPP2/4K3 b - - 0 1",                              // 3 queens, 6 pawns
      "R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - - 0 1",                  // 9 queens, the 218-move test
      "rnbqkbnr/8/8/8/8/8/8/RNBQKBNR w KQkq - 0 1",
      "nnnnknnn/8/8/8/8/8/8/BBBBKBBB w - - 0 1",                               // 14 minor pieces each
  };
  for (const char* f : fens) {
    EXPECT_TRUE(board->setFen(f)) << f;
    EXPECT_EQ(board->fen(), f);
    expectConsistent(*board);
  }
}

}  // namespace
