// Hundreds of commands in quick succession, searches cut short at every stage: no hang, no crash, and
// every "go" answered by exactly one legal "bestmove" (or "0000" when stopped before any move).
#include <random>
#include <string>
#include <vector>

#include "e2e_helpers.h"
#include "support/positions.h"

namespace e2e {
namespace {

TEST(UciStress, RapidCommands) {
  UciProcess p;
  handshake(p);

  // The position each "go" searched, in order, to check the answers afterwards.
  std::vector<Board> searched;
  int readyRequests = 0;
  Board current = positionOf(kStartFen);
  std::mt19937 rng(20240531);
  const char* const goCommands[] = {"go infinite", "go depth 3", "go movetime 5", "go nodes 2000",
                                    "go wtime 200 btime 200 winc 5 binc 5", "go depth 12"};

  for (int i = 0; i < 400; ++i) {
    std::string cmd;
    switch (rng() % 10) {
      case 0:
        cmd = "position startpos moves e2e4 e7e5 g1f3";
        current = positionOf(kStartFen, {"e2e4", "e7e5", "g1f3"});
        break;
      case 1:
        cmd = std::string("position fen ") + kKiwipete;
        current = positionOf(kKiwipete);
        break;
      case 2:
      case 3:
      case 4:
        cmd = goCommands[rng() % 6];
        searched.push_back(current);
        break;
      case 5:
        cmd = "stop";
        break;
      case 6:
        cmd = "setoption name Threads value " + std::to_string(1 + rng() % 4);
        break;
      case 7:
        cmd = rng() % 2 ? "isready" : "setoption name Move Overhead value " + std::to_string(rng() % 50);
        if (cmd == "isready") ++readyRequests;
        break;
      case 8:
        cmd = "ucinewgame";
        current = positionOf(kStartFen);
        break;
      default:
        cmd = rng() % 2 ? "setoption name Hash value " + std::to_string(1 + rng() % 4) : "position startpos";
        if (cmd == "position startpos") current = positionOf(kStartFen);
        break;
    }
    ASSERT_TRUE(p.send(cmd)) << "engine stopped reading at command " << i << ": " << cmd;
  }
  ASSERT_TRUE(p.send("stop"));
  std::vector<std::string> seen;
  // Every "isready" of the burst is answered in turn; the last answer comes after the final "stop".
  ASSERT_TRUE(p.send("isready"));
  for (int i = 0; i <= readyRequests; ++i)
    ASSERT_TRUE(p.readUntil([](const std::string& l) { return l == "readyok"; }, kTimeoutMs, &seen)) << i;

  std::vector<std::string> moves;
  for (const auto& l : seen)
    if (l.starts_with("bestmove ")) moves.push_back(bestMoveOf(l));
  ASSERT_EQ(moves.size(), searched.size());
  for (std::size_t i = 0; i < moves.size(); ++i) {
    if (moves[i] == "0000") continue;
    EXPECT_NE(findLegal(searched[i], moves[i]), 0u) << i << ": " << moves[i];
  }

  // "quit" in the middle of a search with several threads.
  ASSERT_TRUE(p.send("setoption name Threads value 4"));
  ASSERT_TRUE(p.send(std::string("position fen ") + kKiwipete));
  ASSERT_TRUE(p.send("go infinite"));
  ASSERT_TRUE(p.readUntilPrefix("info depth", kTimeoutMs));
  ASSERT_TRUE(p.send("quit"));
  EXPECT_NE(findLegal(positionOf(kKiwipete), waitBestMove(p)), 0u);
  EXPECT_EQ(p.waitExit(kTimeoutMs), 0);
  EXPECT_EQ(p.errText(), "");
}

// Commands keep arriving while the engine is busy; closing the input mid-stream still ends cleanly.
TEST(UciStress, EndOfInputAfterABurst) {
  UciProcess p;
  handshake(p);
  std::string burst;
  for (int i = 0; i < 200; ++i) {
    burst += "setoption name Threads value " + std::to_string(1 + i % 3) + "\n";
    burst += "position startpos moves d2d4\n";
    burst += i % 2 ? "go infinite\n" : "go depth 2\n";
  }
  ASSERT_TRUE(p.sendRaw(burst));
  p.closeInput();
  EXPECT_EQ(p.waitExit(kTimeoutMs), 0);
  int bestmoves = 0;
  while (auto line = p.readLine(0))
    if (line->starts_with("bestmove ")) ++bestmoves;
  EXPECT_EQ(bestmoves, 200);
}

}  // namespace
}  // namespace e2e
