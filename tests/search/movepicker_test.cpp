// Move ordering: stage order, TT-move handling, stable ties, and the self-check over random states.
#include <algorithm>
#include <cstring>
#include <vector>

#include "movegen/movegen.h"
#include "search/movepicker.h"
#include "search_env.h"
#include "support/moves.h"
#include "support/positions.h"
#include "support/random_walk.h"

namespace {

struct PickerFixture : ::testing::Test {
  void SetUp() override {
    thread = std::make_unique<Thread>(1);
    std::memset(thread->history, 0, sizeof thread->history);
  }
  std::vector<Move> drain(Move tt) {
    MovePicker p(*thread, thread->board, tt);
    std::vector<Move> out;
    while (const Move m = p.next()) out.push_back(m);
    EXPECT_EQ(p.next(), 0u);  // exhausted stays exhausted
    return out;
  }
  std::unique_ptr<Thread> thread;
};

}  // namespace

// The per-list check test of the LMP filter must agree with quietGivesCheck on every quiet move
// it is asked about: direct, discovered (also by the king), and moves along the uncovered line.
TEST(QuietChecks, AgreesWithQuietGivesCheck) {
  int checks = 0, asked = 0;
  testsupport::randomWalks(17, 200, [&](const Board& b) {
    const QuietChecks qc(b);
    MoveList quiets;
    generateQuiets(b, quiets);
    for (const Move m : quiets) {
      if (isCastling(m)) continue;
      ++asked;
      checks += b.quietGivesCheck(m);
      ASSERT_EQ(qc.givesCheck(b, m), b.quietGivesCheck(m)) << b.fen() << " " << moveToString(m);
    }
  });
  EXPECT_GT(checks, 100);  // the walks do meet checking moves
  EXPECT_GT(asked, 10000);
}

TEST_F(PickerFixture, QuietPositionKeepsGenerationOrderOnEqualHistory) {
  Board& b = thread->board;
  ASSERT_TRUE(b.setFen(kStartFen));
  MoveList quiets;
  generateQuiets(b, quiets);
  const std::vector<Move> got = drain(0);
  ASSERT_EQ(got.size(), 20u);
  for (int i = 0; i < quiets.size; ++i) EXPECT_EQ(got[i], quiets.moves[i]) << i;
}

TEST_F(PickerFixture, HistoryOrdersQuietsAndIsCapped) {
  Board& b = thread->board;
  ASSERT_TRUE(b.setFen(kStartFen));
  const Move g1f3 = testsupport::findLegal(b, "g1f3");
  const Move b1c3 = testsupport::findLegal(b, "b1c3");
  thread->history[White][moveFrom(g1f3)][moveTo(g1f3)] = 500000;  // capped at 77000
  thread->history[White][moveFrom(b1c3)][moveTo(b1c3)] = 77000;
  const std::vector<Move> got = drain(0);
  ASSERT_GE(got.size(), 2u);
  // Equal after the cap: the earlier generated (b1c3) comes first.
  EXPECT_EQ(got[0], b1c3);
  EXPECT_EQ(got[1], g1f3);
}

TEST_F(PickerFixture, LegalTTMoveFirstAndOnlyOnce) {
  Board& b = thread->board;
  ASSERT_TRUE(b.setFen(kKiwipete));
  const Move tt = testsupport::findLegal(b, "a2a3");
  ASSERT_NE(tt, 0u);
  const std::vector<Move> got = drain(tt);
  MoveList all;
  generateMoves(b, all);
  ASSERT_EQ(got.size(), static_cast<size_t>(all.size));
  EXPECT_EQ(got[0], tt);
  EXPECT_EQ(std::count(got.begin(), got.end(), tt), 1);
}

TEST_F(PickerFixture, IllegalTTMoveIsSkipped) {
  Board& b = thread->board;
  ASSERT_TRUE(b.setFen(kKiwipete));
  const Move bogus = encodeMove(makeSquare(4, 1), makeSquare(4, 3), kFlagQuiet);  // e2e4: own piece there
  ASSERT_FALSE(b.isPseudoLegal(bogus));
  const std::vector<Move> withBogus = drain(bogus);
  const std::vector<Move> plain = drain(0);
  EXPECT_EQ(withBogus, plain);
  EXPECT_EQ(std::count(plain.begin(), plain.end(), bogus), 0);
}

TEST_F(PickerFixture, GoodCapturesThenQuietsThenBadCaptures) {
  Board& b = thread->board;
  // The queen can take a free bishop (good) and a pawn defended by a pawn (bad).
  ASSERT_TRUE(b.setFen("4k3/8/2p5/1p6/4b3/8/8/1Q2K3 w - - 0 1"));
  const Move qxe4 = testsupport::findLegal(b, "b1e4");
  const Move qxb5 = testsupport::findLegal(b, "b1b5");
  ASSERT_NE(qxe4, 0u);
  ASSERT_NE(qxb5, 0u);
  const std::vector<Move> got = drain(0);
  ASSERT_GE(got.size(), 3u);
  EXPECT_EQ(got.front(), qxe4);
  EXPECT_EQ(got.back(), qxb5);
  for (size_t i = 1; i + 1 < got.size(); ++i) EXPECT_TRUE(isQuietMove(got[i])) << i;
}

TEST_F(PickerFixture, DropKeepsOnlyChecksAndCastlingInOrder) {
  Board& b = thread->board;
  ASSERT_TRUE(b.setFen("4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1"));
  MovePicker p(*thread, b, 0);
  p.dropLmpQuiets();
  std::vector<Move> got;
  while (const Move m = p.next()) got.push_back(m);
  MoveList quiets;
  generateQuiets(b, quiets);
  std::vector<Move> expected;
  for (const Move m : quiets)
    if (isCastling(m) || b.quietGivesCheck(m)) expected.push_back(m);
  EXPECT_EQ(got, expected);
  EXPECT_FALSE(got.empty());
}

TEST(MovePickerSelfCheck, BothPropertiesPass) {
  searchtest::StreamCapture capture;
  const bool failed = runMovePickerOrderTest();
  const std::string out = capture.text();
  EXPECT_FALSE(failed) << out;
  const auto first = out.find("MovePicker == generateMoves+sortMoves (послідовно): ");
  const auto second = out.find("MovePicker + dropLmpQuiets == еталон без LMP-хвоста: ");
  ASSERT_NE(first, std::string::npos) << out;
  ASSERT_NE(second, std::string::npos) << out;
  ASSERT_GE(first, 7u);
  ASSERT_GE(second, 7u);
  EXPECT_EQ(out.substr(first - 7, 7), "[PASS] ") << out;
  EXPECT_EQ(out.substr(second - 7, 7), "[PASS] ") << out;
  EXPECT_NE(out.find("512 прогонів"), std::string::npos) << out;
}
