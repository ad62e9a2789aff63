// Emission order and edge cases of the four generators.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "movegen/movegen.h"
#include "test_env.h"
#include "support/positions.h"

namespace {

// "e2e4/1" style: UCI text, then the flag, so order and flags are compared in one string list.
std::vector<std::string> describe(const MoveList& list) {
  std::vector<std::string> out;
  for (Move m : list) out.push_back(moveToString(m) + "/" + std::to_string(moveFlag(m)));
  return out;
}

template <class Gen>
std::vector<std::string> run(const char* fen, Gen gen) {
  Board b;
  EXPECT_TRUE(b.setFen(fen)) << fen;
  MoveList list;
  gen(b, list);
  return describe(list);
}

using V = std::vector<std::string>;

TEST(Generate, StartPositionPawnsFirstThenKnights) {
  const V expected = {"a2a3/0", "b2b3/0", "c2c3/0", "d2d3/0", "e2e3/0", "f2f3/0", "g2g3/0",
                      "h2h3/0", "a2a4/1", "b2b4/1", "c2c4/1", "d2d4/1", "e2e4/1", "f2f4/1",
                      "g2g4/1", "h2h4/1", "b1a3/0", "b1c3/0", "g1f3/0", "g1h3/0"};
  EXPECT_EQ(run(kStartFen, generateMoves), expected);
  EXPECT_EQ(run(kStartFen, generateQuiets), expected);
  EXPECT_TRUE(run(kStartFen, generateCaptures).empty());
}

TEST(Generate, BlackPushesInDestinationOrder) {
  const V expected = {"a7a6/0", "b7b6/0", "c7c6/0", "d7d6/0", "e7e6/0", "f7f6/0", "g7g6/0",
                      "h7h6/0", "a7a5/1", "b7b5/1", "c7c5/1", "d7d5/1", "e7e5/1", "f7f5/1",
                      "g7g5/1", "h7h5/1", "b8a6/0", "b8c6/0", "g8f6/0", "g8h6/0"};
  EXPECT_EQ(run("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1", generateMoves), expected);
}

TEST(Generate, PromotionOrderQueenFirstPushBeforeCaptures) {
  const V expected = {"b7b8q/11", "b7b8r/10", "b7b8b/9", "b7b8n/8",
                      "b7a8q/15", "b7a8r/14", "b7a8b/13", "b7a8n/12"};
  EXPECT_EQ(run("r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1", generateCaptures), expected);
}

// A position where every generator step contributes: pawn push, double push, pawn capture,
// promotions by push and capture, a rook whose quiet moves and capture interleave, king, castling.
constexpr const char* kMixed = "3rk3/2P5/8/7n/8/5p2/4P3/4K2R w K - 0 1";

TEST(Generate, MovesFollowTheFixedStepOrder) {
  const V expected = {"e2e3/0",  "e2e4/1",  "e2f3/4",  "c7c8q/11", "c7c8r/10", "c7c8b/9", "c7c8n/8",
                      "c7d8q/15", "c7d8r/14", "c7d8b/13", "c7d8n/12", "h1f1/0",  "h1g1/0",  "h1h2/0",
                      "h1h3/0",  "h1h4/0",  "h1h5/4",  "e1d1/0",  "e1f1/0",  "e1d2/0",  "e1f2/0",
                      "e1g1/2"};
  EXPECT_EQ(run(kMixed, generateMoves), expected);
}

TEST(Generate, CapturesFollowTheirOwnOrder) {
  const V expected = {"e2f3/4",  "c7c8q/11", "c7c8r/10", "c7c8b/9",  "c7c8n/8", "c7d8q/15",
                      "c7d8r/14", "c7d8b/13", "c7d8n/12", "h1h5/4"};
  EXPECT_EQ(run(kMixed, generateCaptures), expected);
}

TEST(Generate, QuietsFollowTheirOwnOrder) {
  const V expected = {"e2e3/0", "e2e4/1", "h1f1/0", "h1g1/0", "h1h2/0", "h1h3/0", "h1h4/0",
                      "e1d1/0", "e1f1/0", "e1d2/0", "e1f2/0", "e1g1/2"};
  EXPECT_EQ(run(kMixed, generateQuiets), expected);
}

TEST(Generate, PawnCapturesArePawnByPawnNotDirectionByDirection) {
  // b4 and d4 both attack c5; b4 also takes a5. Per pawn: b4a5, b4c5, then d4c5, d4e5.
  const V expected = {"b4a5/4", "b4c5/4", "d4c5/4", "d4e5/4"};
  EXPECT_EQ(run("4k3/8/8/n1b1r3/1P1P4/8/8/4K3 w - - 0 1", generateCaptures), expected);
}

TEST(Generate, BlackPawnCapturesAndPromotions) {
  const V expected = {"e4d3/4",  "e4f3/4",  "b2b1q/11", "b2b1r/10", "b2b1b/9",
                      "b2b1n/8", "b2a1q/15", "b2a1r/14", "b2a1b/13", "b2a1n/12"};
  EXPECT_EQ(run("4k3/8/8/8/4p3/3P1P2/1p6/R3K3 b - - 0 1", generateCaptures), expected);
}

TEST(Generate, EnPassantOnlyWithSquareSetOnePerPawn) {
  EXPECT_EQ(run("4k3/8/8/3PpP2/8/8/8/4K3 w - e6 0 1", generateCaptures), (V{"d5e6/5", "f5e6/5"}));
  EXPECT_TRUE(run("4k3/8/8/3PpP2/8/8/8/4K3 w - - 0 1", generateCaptures).empty());
  EXPECT_EQ(run("4k3/8/8/8/3pP3/8/8/4K3 b - e3 0 1", generateCaptures), (V{"d4e3/5"}));
}

TEST(Generate, QueenSideCastlingAllowedWithB1Attacked) {
  // The black bishop on e4 sees b1 (but not c1, d1, e1).
  const V moves = run("4k3/8/8/8/4b3/8/8/R3K3 w Q - 0 1", generateQuiets);
  EXPECT_EQ(moves.back(), "e1c1/3");
}

TEST(Generate, CastlingRefusedInCheckThroughAttackOrBlocked) {
  const auto hasCastle = [](const char* fen) {
    const V v = run(fen, generateMoves);
    return std::any_of(v.begin(), v.end(), [](const std::string& s) { return s == "e1g1/2" || s == "e1c1/3"; });
  };
  EXPECT_TRUE(hasCastle("4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1"));
  EXPECT_FALSE(hasCastle("4k3/8/8/8/8/8/8/R3K2R w - - 0 1"));       // no rights
  EXPECT_FALSE(hasCastle("4r1k1/8/8/8/8/8/8/R3K2R w KQ - 0 1"));   // in check
  EXPECT_FALSE(hasCastle("3rkr2/8/8/8/8/8/8/R3K2R w KQ - 0 1"));   // d1 and f1 attacked
  EXPECT_FALSE(hasCastle("4k3/8/8/8/8/8/8/RN2K1NR w KQ - 0 1"));   // b1 and g1 occupied
  // g1 attacked stops king side only; c1 attacked stops queen side only.
  EXPECT_EQ(run("4k1r1/8/8/8/8/8/8/R3K2R w KQ - 0 1", generateQuiets).back(), "e1c1/3");
  EXPECT_EQ(run("2r1k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", generateQuiets).back(), "e1g1/2");
  // Black castles to g8 and c8, king side first.
  const V black = run("r3k2r/8/8/8/8/8/8/4K3 b kq - 0 1", generateQuiets);
  ASSERT_GE(black.size(), 2u);
  EXPECT_EQ(black[black.size() - 2], "e8g8/2");
  EXPECT_EQ(black.back(), "e8c8/3");
}

TEST(Generate, GeneratorsAppendWithoutResetting) {
  Board b;
  ASSERT_TRUE(b.setFen(kMixed));
  MoveList list;
  generateCaptures(b, list);
  const int captures = list.size;
  generateQuiets(b, list);
  EXPECT_EQ(captures, 10);
  EXPECT_EQ(list.size, 22);
  EXPECT_EQ(list.moves[0], encodeMove(12, 21, kFlagCapture));  // still e2f3 first
}

TEST(GenerateLegal, MateAndStalemateAppendNothing) {
  for (const char* fen : {kWhiteMated,
                          kStalemate, "k7/1R6/1K6/8/8/8/8/8 b - - 0 1"}) {
    Board b;
    ASSERT_TRUE(b.setFen(fen));
    MoveList list;
    list.size = 0;
    generateLegalMoves(b, list);
    EXPECT_EQ(list.size, 0) << fen;
    MoveList pseudo;
    generateMoves(b, pseudo);
    EXPECT_GT(pseudo.size, 0) << fen;
  }
}

TEST(GenerateLegal, PinnedPieceMovesOnlyAlongThePin) {
  // The bishop on d2 is pinned by the b4 bishop: it may move to c3 and take on b4, nothing else.
  Board b;
  ASSERT_TRUE(b.setFen("4k3/8/8/8/1b6/8/3B4/4K3 w - - 0 1"));
  MoveList pseudo, legal;
  generateMoves(b, pseudo);
  generateLegalMoves(b, legal);
  const V all = describe(pseudo);
  const V ok = describe(legal);
  EXPECT_NE(std::find(all.begin(), all.end(), "d2e3/0"), all.end());
  EXPECT_EQ(std::find(ok.begin(), ok.end(), "d2e3/0"), ok.end());
  V bishop;
  for (const auto& s : ok)
    if (s.rfind("d2", 0) == 0) bishop.push_back(s);
  EXPECT_EQ(bishop, (V{"d2c3/0", "d2b4/4"}));
  EXPECT_EQ(b.fen(), "4k3/8/8/8/1b6/8/3B4/4K3 w - - 0 1");
}

TEST(GenerateLegal, KeepsGenerateMovesOrderAndLeavesBoardUnchanged) {
  Board b;
  ASSERT_TRUE(b.setFen(kKiwipete));
  const std::string fen = b.fen();
  const u64 key = b.key;
  MoveList pseudo, legal;
  generateMoves(b, pseudo);
  generateLegalMoves(b, legal);
  EXPECT_EQ(legal.size, 48);
  int j = 0;
  for (Move m : pseudo)
    if (j < legal.size && legal.moves[j] == m) ++j;
  EXPECT_EQ(j, legal.size) << "legal moves are not a subsequence of generateMoves";
  EXPECT_EQ(b.fen(), fen);
  EXPECT_EQ(b.key, key);
  EXPECT_EQ(b.historySize, 0);
}

}  // namespace
