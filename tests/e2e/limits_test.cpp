// A search under every kind of limit ends with a legal "bestmove".
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "e2e_helpers.h"
#include "support/positions.h"

namespace e2e {
namespace {

struct Setup {
  std::string fen;
  std::vector<std::string> moves;

  std::string command() const {
    std::string c = "position fen " + fen;
    if (!moves.empty()) {
      c += " moves";
      for (const auto& m : moves) c += " " + m;
    }
    return c;
  }
};

const std::vector<Setup> kSetups = {
    {kStartFen, {}},
    {kStartFen, {"e2e4", "c7c5", "g1f3"}},  // black to move
    {kKiwipete, {}},
    {kRookPawnEnding, {}},
    {"6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", {}},  // mate in one
};

const std::vector<std::string> kGoCommands = {
    "go depth 4",
    "go depth 1",
    "go nodes 3000",
    "go nodes 1",
    "go movetime 50",
    "go movetime 1",
    "go wtime 1000 btime 1000",
    "go wtime 3000 btime 3000 winc 100 binc 100",
    "go wtime 4000 btime 4000 movestogo 3",
    "go wtime 2000 btime 2000 winc 50 binc 50 movestogo 10",
    "go wtime 5 btime 5",  // a clock below the move overhead
    "go wtime 0 btime 0",  // clocks that have run out: the smallest budget, not none
    "go wtime -20 btime -20",
    "go ponder depth 2",
    "go searchmoves e2e4 d2d4 depth 2",
    "go depth 3 depth 2",
};

TEST(SearchLimits, EveryLimitEndsWithALegalMove) {
  UciProcess p;
  handshake(p);
  for (const auto& setup : kSetups) {
    const Board b = positionOf(setup.fen, setup.moves);
    ASSERT_TRUE(p.send(setup.command()));
    for (const auto& go : kGoCommands) {
      ASSERT_TRUE(p.send(go));
      const std::string move = waitBestMove(p);
      EXPECT_NE(findLegal(b, move), 0u) << setup.command() << " / " << go << ": " << move;
    }
  }
  quit(p);
}

TEST(SearchLimits, MateInOneIsFound) {
  UciProcess p;
  handshake(p);
  ASSERT_TRUE(p.send("position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1"));
  ASSERT_TRUE(p.send("go depth 3"));
  std::vector<std::string> seen;
  EXPECT_EQ(waitBestMove(p, &seen), "d1d8");
  quit(p);
}

TEST(SearchLimits, OnlyTheSideToMovesClockCounts) {
  // White to move with only a black clock: no time budget, so the depth bounds the search.
  UciProcess p;
  handshake(p);
  ASSERT_TRUE(p.send("go btime 1 depth 3"));
  std::vector<std::string> seen;
  EXPECT_NE(findLegal(positionOf(kStartFen), waitBestMove(p, &seen)), 0u);
  bool depth3 = false;
  for (const auto& l : seen) depth3 = depth3 || l.starts_with("info depth 3 ");
  EXPECT_TRUE(depth3);
  quit(p);
}

TEST(SearchLimits, InfiniteRunsUntilStop) {
  UciProcess p;
  handshake(p);
  ASSERT_TRUE(p.send("position startpos moves g1f3"));
  ASSERT_TRUE(p.send("go infinite"));
  // No move may come on its own, not even once the search has run for a while.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_TRUE(p.send("isready"));
  std::vector<std::string> seen;
  ASSERT_TRUE(p.readUntil([](const std::string& l) { return l == "readyok"; }, kTimeoutMs, &seen));
  for (const auto& l : seen) EXPECT_FALSE(l.starts_with("bestmove")) << l;
  ASSERT_TRUE(p.send("stop"));
  EXPECT_NE(findLegal(positionOf(kStartFen, {"g1f3"}), waitBestMove(p)), 0u);
  // A king in check that wins a rook: the obvious move comes once "stop" arrives.
  ASSERT_TRUE(p.send("position fen 7k/8/8/8/8/8/r7/K7 w - - 0 1"));
  ASSERT_TRUE(p.send("go infinite"));
  ASSERT_TRUE(p.readUntilPrefix("info depth 2 ", kTimeoutMs));
  ASSERT_TRUE(p.send("stop"));
  EXPECT_EQ(waitBestMove(p), "a1a2");
  quit(p);
}

TEST(SearchLimits, NoLegalMoveGivesNullMove) {
  UciProcess p;
  handshake(p);
  ASSERT_TRUE(p.send(std::string("position fen ") + kWhiteMated));
  ASSERT_TRUE(p.send("go depth 5"));
  std::vector<std::string> seen;
  EXPECT_EQ(waitBestMove(p, &seen), "0000");
  EXPECT_EQ(seen.front(), "info depth 0 score mate 0");
  ASSERT_TRUE(p.send(std::string("position fen ") + kStalemate));
  ASSERT_TRUE(p.send("go movetime 100"));
  seen.clear();
  EXPECT_EQ(waitBestMove(p, &seen), "0000");
  EXPECT_EQ(seen.front(), "info depth 0 score cp 0");
  quit(p);
}

}  // namespace
}  // namespace e2e
