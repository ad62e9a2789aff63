// One self-play game from a chosen position: how it ends, which positions it keeps, and the
// material rule.
#include <memory>

#include "datagen_env.h"
#include "support/moves.h"
#include "search/thread.h"

namespace {

struct Played {
  GameResult result = GameResult::Draw;
  std::vector<Sample> samples;
  std::unique_ptr<Thread> thread;
  Board& board() { return thread->board; }
};

// Small searches keep the games cheap; a test sets what it depends on.
DataGenConfig smallConfig() { return {.nodes = 50, .maxdepth = 2}; }

std::unique_ptr<Thread> threadAt(const std::string& fen) {
  auto t = std::make_unique<Thread>(1);
  EXPECT_TRUE(t->board.setFen(fen)) << fen;
  return t;
}

Played playFrom(std::unique_ptr<Thread> thread, const DataGenConfig& c) {
  Played p;
  p.thread = std::move(thread);
  p.thread->clearForSearch();
  gTT.clear();
  p.result = playDataGenGame(*p.thread, c, p.samples);
  return p;
}

Played play(const std::string& fen, const DataGenConfig& c) { return playFrom(threadAt(fen), c); }

// The board part of a FEN (placement and side to move), without counters.
std::string placementAndSide(const std::string& fen) {
  const std::size_t space = fen.find(' ');
  return fen.substr(0, space + 2);
}

bool insufficient(const std::string& fen) {
  auto b = std::make_unique<Board>();
  EXPECT_TRUE(b->setFen(fen)) << fen;
  return insufficientMaterial(*b);
}

}  // namespace

TEST(DataGenGame, CheckmateGivesTheMatingSideTheWin) {
  DataGenConfig c = dgtest::noAdjudication(smallConfig());
  Played w = play("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", c);  // Ra8#
  EXPECT_EQ(w.result, GameResult::WhiteWin);
  ASSERT_EQ(w.samples.size(), 1u);
  EXPECT_EQ(w.samples[0].fen, "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
  EXPECT_GE(w.samples[0].score, 29744);  // White's view of its own mate

  Played b = play("r5k1/8/8/8/8/8/5PPP/6K1 b - - 0 1", c);  // ...Ra1#
  EXPECT_EQ(b.result, GameResult::BlackWin);
  ASSERT_EQ(b.samples.size(), 1u);
  EXPECT_LE(b.samples[0].score, -29744);  // Black's mate, seen from White
}

TEST(DataGenGame, StalemateIsADraw) {
  Played p = play("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", smallConfig());
  EXPECT_EQ(p.result, GameResult::Draw);
  EXPECT_TRUE(p.samples.empty());
}

TEST(DataGenGame, MaxPliesEndsTheGame) {
  DataGenConfig c = dgtest::noAdjudication(smallConfig());
  c.maxplies = 0;  // no ply at all, even in a mated position
  Played none = play("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", c);
  EXPECT_EQ(none.result, GameResult::Draw);
  EXPECT_TRUE(none.samples.empty());
  EXPECT_EQ(none.board().fen(), "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");

  c.maxplies = 3;
  Played three = play(kStartFen, c);
  EXPECT_EQ(three.result, GameResult::Draw);
  EXPECT_EQ(three.board().side, Black);
  EXPECT_EQ(three.board().fullmoveNumber, 2);
  EXPECT_LE(three.samples.size(), 3u);
}

TEST(DataGenGame, FiftyMoveRule) {
  DataGenConfig c = dgtest::noAdjudication(smallConfig());
  Played at100 = play("8/8/4k3/8/8/3K4/8/R7 w - - 100 80", c);
  EXPECT_EQ(at100.result, GameResult::Draw);
  EXPECT_TRUE(at100.samples.empty());

  // One quiet move reaches the limit: the position before it is kept.
  Played at99 = play("8/8/4k3/8/8/3K4/8/R7 w - - 99 80", c);
  EXPECT_EQ(at99.result, GameResult::Draw);
  ASSERT_EQ(at99.samples.size(), 1u);
  EXPECT_EQ(at99.board().halfmoveClock, 100);
}

// White, a piece and pawns down, holds the draw by perpetual check: Qe8+ Kh7 Qh5+ Kg8 is forced,
// and the start position occurs for the third time after eight plies.
TEST(DataGenGame, ThirdRepetitionIsADraw) {
  const std::string fen = "qb4k1/ppp3p1/8/7Q/8/8/5PPP/6K1 w - - 0 1";
  const DataGenConfig c{.nodes = 0, .maxdepth = 6};
  Played p = play(fen, c);
  EXPECT_EQ(p.result, GameResult::Draw);
  EXPECT_EQ(placementAndSide(p.board().fen()), placementAndSide(fen));
  EXPECT_EQ(p.board().fullmoveNumber, 5);  // eight plies: no other rule ended it
  // White's four checking moves are kept; Black's replies are made in check.
  ASSERT_EQ(p.samples.size(), 4u);
  for (const Sample& s : p.samples) EXPECT_LE(std::abs(s.score), c.draw) << s.fen;
}

// Occurrences before the game starts (the opening) do not count towards the repetition.
TEST(DataGenGame, RepetitionCountsOnlyTheGamesOwnPlies) {
  const std::string fen = "qb4k1/ppp3p1/8/7Q/8/8/5PPP/6K1 w - - 0 1";
  auto t = threadAt(fen);
  testsupport::playMoves(t->board,
                         {"h5e8", "g8h7", "e8h5", "h7g8", "h5e8", "g8h7", "e8h5", "h7g8"});
  const DataGenConfig c{.nodes = 0, .maxdepth = 6};
  Played p = playFrom(std::move(t), c);
  EXPECT_EQ(p.result, GameResult::Draw);
  EXPECT_EQ(p.board().fullmoveNumber, 9);  // the game's own eight plies after the four moves made
  EXPECT_EQ(p.samples.size(), 4u);
}

TEST(DataGenGame, ResignationNeedsConsecutivePliesForOneSide) {
  DataGenConfig c = smallConfig();
  c.skipcheck = false;
  c.skipquiet = false;
  c.resign = 500;
  c.resignplies = 4;
  // White is a queen up: four plies at or beyond the threshold, all for White.
  Played w = play("rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", c);
  EXPECT_EQ(w.result, GameResult::WhiteWin);
  EXPECT_EQ(w.samples.size(), 4u);
  for (const Sample& s : w.samples) EXPECT_GE(s.score, 500);

  Played b = play("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNB1KBNR w KQkq - 0 1", c);
  EXPECT_EQ(b.result, GameResult::BlackWin);
  EXPECT_EQ(b.samples.size(), 4u);

  // Scores at or beyond evalcap are not kept, though the game is still adjudicated.
  c.evalcap = 500;
  Played capped = play("rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", c);
  EXPECT_EQ(capped.result, GameResult::WhiteWin);
  EXPECT_TRUE(capped.samples.empty());
}

TEST(DataGenGame, DrawAdjudicationFromDrawMin) {
  DataGenConfig c = smallConfig();
  c.skipcheck = false;
  c.skipquiet = false;
  c.resign = 1000000;
  c.draw = 1000000;  // every ply counts
  c.drawplies = 3;
  c.drawmin = 0;
  Played p = play(kStartFen, c);
  EXPECT_EQ(p.result, GameResult::Draw);
  EXPECT_EQ(p.samples.size(), 3u);

  c.drawmin = 2;  // plies 0 and 1 do not count
  Played later = play(kStartFen, c);
  EXPECT_EQ(later.result, GameResult::Draw);
  EXPECT_EQ(later.samples.size(), 5u);
}

TEST(DataGenGame, SkipRules) {
  DataGenConfig c = dgtest::noAdjudication(smallConfig());
  c.maxplies = 1;
  // The best move takes the queen.
  const std::string capture = "4k3/8/8/3q4/8/8/3R4/3K4 w - - 0 1";
  EXPECT_TRUE(play(capture, c).samples.empty());
  c.skipquiet = false;
  EXPECT_EQ(play(capture, c).samples.size(), 1u);

  // White starts in check and answers with a quiet king move.
  const std::string check = "4k3/8/8/8/8/8/8/r3K3 w - - 0 1";
  EXPECT_TRUE(play(check, c).samples.empty());
  c.skipcheck = false;
  ASSERT_EQ(play(check, c).samples.size(), 1u);
  EXPECT_EQ(play(check, c).samples[0].fen, check);
}

TEST(DataGenGame, InsufficientMaterial) {
  EXPECT_TRUE(insufficient("8/8/4k3/8/8/3K4/8/8 w - - 0 1"));       // KvK
  EXPECT_TRUE(insufficient("8/8/4k3/8/8/3K4/8/6N1 w - - 0 1"));     // KNvK
  EXPECT_TRUE(insufficient("8/8/4k3/8/8/3K4/8/2b5 b - - 0 1"));     // KvKB
  EXPECT_FALSE(insufficient("8/8/4k3/8/8/3K4/8/5NN1 w - - 0 1"));   // KNNvK: two minors
  EXPECT_FALSE(insufficient("8/8/4k3/8/8/3K4/8/2b2N2 w - - 0 1"));  // KNvKB
  EXPECT_TRUE(insufficient("5b2/8/4k3/8/8/3K4/8/2B5 w - - 0 1"));   // KBvKB, both dark
  EXPECT_TRUE(insufficient("8/8/4k3/8/8/3KB3/8/2B5 w - - 0 1"));    // one side's two dark bishops
  EXPECT_FALSE(insufficient("8/8/4k3/8/8/3K4/8/2B2B2 w - - 0 1"));  // one side, both colours
  EXPECT_FALSE(insufficient("2b5/8/4k3/8/8/3K4/8/2B5 w - - 0 1"));  // KBvKB, opposite colours
  EXPECT_FALSE(insufficient("8/8/4k3/8/8/3K4/7P/8 w - - 0 1"));     // a pawn
  EXPECT_FALSE(insufficient("8/8/4k3/8/8/3K4/8/7R w - - 0 1"));     // a rook
  EXPECT_FALSE(insufficient("8/8/4k3/8/8/3K4/8/7q w - - 0 1"));     // a queen
  EXPECT_FALSE(insufficient("8/8/4k3/8/8/3K4/8/1NB5 w - - 0 1"));   // KNBvK

  // Same-coloured bishops end the game at once; opposite colours are played on.
  DataGenConfig c = dgtest::noAdjudication(smallConfig());
  c.maxplies = 6;
  Played same = play("5b2/8/4k3/8/8/3K4/8/2B5 w - - 0 1", c);
  EXPECT_EQ(same.result, GameResult::Draw);
  EXPECT_TRUE(same.samples.empty());
  Played opposite = play("2b5/8/4k3/8/8/3K4/8/2B5 w - - 0 1", c);
  EXPECT_EQ(opposite.result, GameResult::Draw);
  EXPECT_FALSE(opposite.samples.empty());
}

// A long game must not run out of undo records: the game starts with the stack nearly full, as it
// would be after a long game's first part.
TEST(DataGenGame, LongGameTrimsTheUndoStack) {
  auto t = threadAt(kStartFen);
  t->board.historySize = kHistoryCapacity - 4;
  DataGenConfig c = dgtest::noAdjudication(smallConfig());
  c.maxplies = 40;
  Played p = playFrom(std::move(t), c);
  EXPECT_EQ(p.result, GameResult::Draw);
  EXPECT_EQ(p.board().fullmoveNumber, 21);
  EXPECT_LT(p.board().historySize, 512);
}
