// The manager's rules over the engine's board: SAN, game ends, mating material.
#include <gtest/gtest.h>

#include "tools/match/rules.h"
#include "support/positions.h"

using namespace Match;

namespace {

std::string san(const char* fen, const char* uci) {
  GamePosition p;
  EXPECT_TRUE(p.setFen(fen)) << fen;
  const Move m = p.fromUci(uci);
  EXPECT_NE(m, 0u) << fen << ' ' << uci;
  return m ? p.san(m) : "";
}

TEST(MatchRules, San) {
  const struct {
    const char *fen, *uci, *san;
  } cases[] = {
      {kStartFen, "e2e4", "e4"},
      {kStartFen, "g1f3", "Nf3"},
      {"4k3/8/8/8/8/8/8/1N2KN2 w - - 0 1", "b1d2", "Nbd2"},     // file tells them apart
      {"4k3/8/8/6N1/8/8/8/4K1N1 w - - 0 1", "g1f3", "N1f3"},    // same file: rank
      {"4k3/8/8/8/8/Q7/8/Q1Q1K3 w - - 0 1", "a1b2", "Qa1b2"},   // neither alone: both
      {"8/P6k/8/8/8/8/8/K7 w - - 0 1", "a7a8q", "a8=Q"},
      {"1n5k/P7/8/8/8/8/8/K7 w - - 0 1", "a7b8q", "axb8=Q+"},
      {"1n5k/P7/8/8/8/8/8/K7 w - - 0 1", "a7b8n", "axb8=N"},
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1g1", "O-O"},
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1c1", "O-O-O"},
      {"rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR b KQkq - 0 2", "d8h4", "Qh4#"},
      {"8/4k3/8/3pP3/8/8/8/4K3 w - d6 0 2", "e5d6", "exd6+"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(san(c.fen, c.uci), c.san) << c.fen;
    GamePosition p;
    p.setFen(c.fen);
    EXPECT_EQ(p.fromSan(c.san), p.fromUci(c.uci)) << c.san;
  }
  GamePosition p;
  p.setFen(kStartFen);
  EXPECT_EQ(p.fromSan("e5"), 0u);
  EXPECT_EQ(p.fromUci("e2e5"), 0u);
  EXPECT_EQ(p.fromUci("e7e5"), 0u);
}

TEST(MatchRules, Ends) {
  const struct {
    const char* fen;
    const char* moves;
    RuleEnd end;
  } cases[] = {
      // The third occurrence of the first position, counted from the position set.
      {kStartFen, "g1f3 g8f6 f3g1 f6g8", RuleEnd::None},
      {kStartFen, "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8", RuleEnd::Repetition},
      // Mate on the hundredth ply wins; any other move there draws.
      {"k7/8/1K6/8/8/8/8/7R w - - 99 80", "h1h8", RuleEnd::Checkmate},
      {"k7/8/1K6/8/8/8/8/7R w - - 99 80", "h1h2", RuleEnd::FiftyMoves},
      {"k7/8/1K6/8/8/8/8/7R w - - 98 80", "h1h2", RuleEnd::None},
      {kStalemate, "", RuleEnd::Stalemate},
      {"8/8/4k3/8/8/3KB3/8/8 w - - 0 1", "", RuleEnd::Material},
      {"5b2/8/4k3/8/8/3K4/8/2B5 w - - 0 1", "", RuleEnd::Material},    // bishops on one colour
      {"2b5/8/4k3/8/8/3K4/8/2B5 w - - 0 1", "", RuleEnd::None},        // on both colours
      {"8/8/4k3/8/8/3KN3/8/6n1 w - - 0 1", "", RuleEnd::None},
  };
  for (const auto& c : cases) {
    GamePosition p;
    ASSERT_TRUE(p.setFen(c.fen)) << c.fen;
    std::string moves = c.moves, word;
    for (std::size_t i = 0; i <= moves.size(); ++i) {
      if (i < moves.size() && moves[i] != ' ') {
        word += moves[i];
        continue;
      }
      if (word.empty()) continue;
      const Move m = p.fromUci(word);
      ASSERT_NE(m, 0u) << word;
      p.play(m);
      word.clear();
    }
    EXPECT_EQ(p.end(), c.end) << c.fen << " / " << c.moves;
  }
}

TEST(MatchRules, MatingMaterialAndBadPositions) {
  GamePosition p;
  ASSERT_TRUE(p.setFen("8/8/4k3/8/8/3KN3/8/8 b - - 0 1"));
  EXPECT_TRUE(!p.canMate(Black) && !p.canMate(White));
  ASSERT_TRUE(p.setFen("8/8/4k3/4p3/8/3KN3/8/8 b - - 0 1"));
  EXPECT_TRUE(p.canMate(White) && p.canMate(Black));  // the pawn can wall its own king in
  EXPECT_FALSE(p.setFen("8/8/8/8/8/8/8/8 w - - 0 1"));
  EXPECT_FALSE(p.setFen("4k3/8/8/8/8/8/4R3/4K3 w - - 0 1"));  // the side not to move is in check
}

}  // namespace
