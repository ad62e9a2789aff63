// Fixed-depth searches on a parked thread: mate distances, draws by rule, roots without moves.
#include "movegen/movegen.h"
#include "search_env.h"
#include "support/boards.h"
#include "support/moves.h"
#include "support/positions.h"

using searchtest::searchFen;

namespace {

// Brute-force mate solver, independent of the search, to confirm the test positions.
bool attackerMatesIn(Board& b, int n);

bool defenderLostIn(Board& b, int n) {
  MoveList replies;
  generateLegalMoves(b, replies);
  if (replies.size == 0) return b.inCheck();
  if (n <= 1) return false;
  for (const Move m : replies) {
    b.makeMove(m);
    const bool lost = attackerMatesIn(b, n - 1);
    b.unmakeMove(m);
    if (!lost) return false;
  }
  return true;
}

bool attackerMatesIn(Board& b, int n) {
  MoveList moves;
  generateLegalMoves(b, moves);
  for (const Move m : moves) {
    b.makeMove(m);
    const bool mates = defenderLostIn(b, n);
    b.unmakeMove(m);
    if (mates) return true;
  }
  return false;
}

int shortestMate(const char* fen, int limit) {
  auto b = std::make_unique<Board>();
  EXPECT_TRUE(b->setFen(fen));
  for (int n = 1; n <= limit; ++n)
    if (attackerMatesIn(*b, n)) return n;
  return 0;
}

bool isLegalIn(const char* fen, Move m) {
  return m != 0 && testsupport::findLegal(*testsupport::boardFrom(fen), moveToString(m)) == m;
}

struct MateCase {
  const char* fen;
  int mateIn;
};

}  // namespace

TEST(MateSearch, FindsShortestMatesWithTheirDistance) {
  const MateCase cases[] = {
      {kMateInOne, 1},
      {"r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4", 1},
      {"7k/8/8/8/8/8/R7/1R4K1 w - - 0 1", 2},
      {"k7/8/2K5/8/8/8/8/7R w - - 0 1", 2},
      {"1k6/8/3K4/8/8/8/8/7R w - - 0 1", 3},
      {"r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1", 3},
  };
  for (const MateCase& c : cases) {
    ASSERT_EQ(shortestMate(c.fen, c.mateIn), c.mateIn) << c.fen;
    const auto r = searchFen(c.fen, 8);
    EXPECT_EQ(r.score, kMateScore - (2 * c.mateIn - 1)) << c.fen;
    EXPECT_EQ(formatScore(r.score), "mate " + std::to_string(c.mateIn)) << c.fen;
    EXPECT_TRUE(isLegalIn(c.fen, r.move)) << c.fen;
  }
}

TEST(MateSearch, BeingMatedNextMoveScoresMinusOne) {
  const auto r = searchFen("7k/1R6/8/8/8/8/R7/6K1 b - - 0 1", 6);
  EXPECT_EQ(r.score, -(kMateScore - 2));
  EXPECT_EQ(formatScore(r.score), "mate -1");
  EXPECT_NE(r.move, 0u);
}

TEST(DrawRules, FiftyMoveClockDrawsUnlessTheMoveMates) {
  // Every white move reaches a clock of 100: a draw below the root, unless it is checkmate.
  const struct {
    const char* fen;
    int score;
    const char* move;  // "" when any legal move will do
  } cases[] = {
      {"6k1/5ppp/8/8/8/8/8/R5K1 w - - 99 1", kMateScore - 1, "a1a8"},
      {"7k/8/6K1/8/8/8/8/R7 w - - 99 80", kMateScore - 1, "a1a8"},
      {"7k/8/8/8/8/8/8/R5K1 w - - 99 1", 0, ""},  // Ra8+ checks but does not mate
  };
  for (const auto& c : cases) {
    const auto r = searchFen(c.fen, 6);
    EXPECT_EQ(r.score, c.score) << c.fen;
    EXPECT_TRUE(isLegalIn(c.fen, r.move)) << c.fen;
    if (*c.move) {
      EXPECT_EQ(moveToString(r.move), c.move) << c.fen;
    }
  }
}

TEST(DrawRules, RootThatAlreadyRepeatsIsStillSearched) {
  auto t = std::make_unique<Thread>(1);
  Board& b = t->board;
  ASSERT_TRUE(b.setFen(kStartFen));
  testsupport::playMoves(b, {"g1f3", "g8f6", "f3g1", "f6g8"});
  ASSERT_EQ(b.history[0].key, b.key);  // the root repeats the start position
  gTT.clear();
  t->clearForSearch();
  int score = 0;
  const Move m = searchForDataGen(*t, 5, 0, score);
  EXPECT_TRUE(isLegalIn(kStartFen, m)) << moveToString(m);
  EXPECT_GT(t->nodes.load(), 100u);
}

TEST(DataGenSearch, RootsWithoutMoves) {
  const auto mated = searchFen("7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", 3);
  EXPECT_EQ(mated.move, 0u);
  EXPECT_EQ(mated.score, -kMateScore);
  const auto stalemate = searchFen(kStalemate, 3);
  EXPECT_EQ(stalemate.move, 0u);
  EXPECT_EQ(stalemate.score, 0);
}

TEST(DataGenSearch, DepthBounds) {
  auto t = std::make_unique<Thread>(1);
  ASSERT_TRUE(t->board.setFen("r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4"));
  gTT.clear();
  t->clearForSearch();
  int score = 0;
  EXPECT_NE(searchForDataGen(*t, 0, 0, score), 0u);
  EXPECT_EQ(t->completedDepth, 1);
  // A node budget is only consulted between iterations: a budget of 1 still completes depth 1.
  t->clearForSearch();
  EXPECT_NE(searchForDataGen(*t, 50, 1, score), 0u);
  EXPECT_EQ(t->completedDepth, 1);
  t->clearForSearch();
  searchForDataGen(*t, 4, 0, score);
  EXPECT_EQ(t->completedDepth, 4);
  EXPECT_EQ(t->bestScore, score);
}

TEST(PrincipalVariation, StartsWithTheMoveAndStopsOnIllegalMoves) {
  auto b = std::make_unique<Board>();
  ASSERT_TRUE(b->setFen(kMateInOne));
  gTT.clear();
  const Move ra8 = encodeMove(makeSquare(0, 0), makeSquare(0, 7), kFlagQuiet);
  EXPECT_EQ(buildPV(*b, ra8), "a1a8");
  EXPECT_EQ(buildPV(*b, 0), "");
  // Not a move of this position: nothing is made.
  EXPECT_EQ(buildPV(*b, encodeMove(makeSquare(4, 1), makeSquare(4, 3), kFlagDoublePush)), "");
}
