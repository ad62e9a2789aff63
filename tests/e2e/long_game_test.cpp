// Games far longer than the undo stack: the position is right, searchable, and repetitions count.
#include <algorithm>
#include <string>
#include <vector>

#include "e2e_helpers.h"

namespace e2e {
namespace {

std::vector<std::string> knightShuffle(int cycles) {
  std::vector<std::string> moves;
  for (int i = 0; i < cycles; ++i)
    for (const char* m : {"g1f3", "g8f6", "f3g1", "f6g8"}) moves.push_back(m);
  return moves;
}

std::string positionCommand(const std::vector<std::string>& moves) {
  std::string c = "position startpos moves";
  for (const auto& m : moves) c += " " + m;
  return c;
}

// The score of the last "info depth" line before "bestmove".
std::string lastScore(const std::vector<std::string>& seen) {
  std::string score;
  for (const auto& l : seen) {
    if (!l.starts_with("info depth ")) continue;
    const auto t = words(l);
    for (std::size_t i = 0; i + 2 < t.size(); ++i)
      if (t[i] == "score") score = t[i + 1] + " " + t[i + 2];
  }
  return score;
}

TEST(LongGame, TwelveHundredPliesOfKnightShuffles) {
  const auto moves = knightShuffle(300);
  UciProcess p;
  handshake(p);
  ASSERT_TRUE(p.send(positionCommand(moves)));
  ASSERT_TRUE(p.send("d"));
  // The halfmove clock saturates at 255.
  EXPECT_EQ(p.readLine(kTimeoutMs).value_or("<none>"), "fen: rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 255 601");
  ASSERT_TRUE(p.send("go depth 3"));
  std::vector<std::string> seen;
  const std::string move = waitBestMove(p, &seen);
  EXPECT_NE(findLegal(positionOf(kStartFen), move), 0u) << move;
  EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const std::string& l) { return l.starts_with("info depth 3 "); }));
  // The same long game again, now with several threads.
  ASSERT_TRUE(p.send("setoption name Threads value 3"));
  ASSERT_TRUE(p.send(positionCommand(moves)));
  ASSERT_TRUE(p.send("go depth 4"));
  EXPECT_NE(findLegal(positionOf(kStartFen), waitBestMove(p)), 0u);
  quit(p);
  EXPECT_EQ(p.errText(), "");
}

// White gives its queen away after a long shuffle, then both sides shuffle once more: repeating that
// cycle is White's only way to a draw, and the search sees it through the game's own history.
TEST(LongGame, RepetitionAfterAThousandPlies) {
  auto moves = knightShuffle(300);
  for (const char* m : {"e2e3", "e7e5", "d1h5", "g8f6", "h5f7", "e8f7", "b1c3", "b8c6", "c3b1", "c6b8"})
    moves.push_back(m);
  ASSERT_GT(moves.size(), 1000u);

  UciProcess p;
  handshake(p);
  ASSERT_TRUE(p.send(positionCommand(moves)));
  ASSERT_TRUE(p.send("d"));
  EXPECT_EQ(p.readLine(kTimeoutMs).value_or("<none>"), "fen: rnbq1b1r/pppp1kpp/5n2/4p3/8/4P3/PPPP1PPP/RNB1KBNR w KQ - 4 606");
  ASSERT_TRUE(p.send("go depth 4"));
  std::vector<std::string> seen;
  EXPECT_EQ(waitBestMove(p, &seen), "b1c3");
  EXPECT_EQ(lastScore(seen), "cp 0");

  // Without the repeating history the same position is simply lost for White.
  ASSERT_TRUE(p.send("position fen rnbq1b1r/pppp1kpp/5n2/4p3/8/4P3/PPPP1PPP/RNB1KBNR w KQ - 4 606"));
  ASSERT_TRUE(p.send("go depth 4"));
  seen.clear();
  const std::string move = waitBestMove(p, &seen);
  EXPECT_NE(findLegal(positionOf("rnbq1b1r/pppp1kpp/5n2/4p3/8/4P3/PPPP1PPP/RNB1KBNR w KQ - 4 606"), move), 0u);
  const std::string score = lastScore(seen);
  ASSERT_TRUE(score.starts_with("cp -")) << score;
  EXPECT_LT(std::stoi(score.substr(3)), -300);
  quit(p);
}

}  // namespace
}  // namespace e2e
