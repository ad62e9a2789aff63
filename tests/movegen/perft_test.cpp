// Perft counts of the published suite up to a small leaf budget per entry, plus the perft edge cases.
#include <gtest/gtest.h>

#include <sstream>

#include "movegen/perft.h"
#include "perft_table.h"
#include "test_env.h"
#include "support/positions.h"

namespace {

// Entries above this many leaves run in the slow binary instead.
constexpr std::uint64_t kFastLeafLimit = 1'500'000;

class PerftSuiteFast : public ::testing::TestWithParam<const char*> {};

TEST_P(PerftSuiteFast, CountsMatchUpToBudget) {
  const PerftCase c = parsePerftLine(GetParam());
  Board b;
  ASSERT_TRUE(b.setFen(c.fen)) << c.fen;
  const std::string before = b.fen();
  const u64 key = b.key;
  for (auto [depth, leaves] : c.counts) {
    if (leaves > kFastLeafLimit) continue;
    EXPECT_EQ(perft(b, depth), leaves) << c.fen << " depth " << depth;
    EXPECT_EQ(b.fen(), before);
    EXPECT_EQ(b.key, key);
    EXPECT_EQ(b.historySize, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Published, PerftSuiteFast, ::testing::ValuesIn(kPerftSuite));

TEST(Perft, DepthZeroIsOne) {
  Board b;
  ASSERT_TRUE(b.setFen(kStartFen));
  EXPECT_EQ(perft(b, 0), 1u);
}

TEST(Perft, NegativeDepthCountsNothingAndTerminates) {
  Board b;
  ASSERT_TRUE(b.setFen(kStartFen));
  EXPECT_EQ(perft(b, -3), 0u);
}

TEST(Perft, MateAndStalemateGiveZero) {
  const char* const fens[] = {
      kWhiteMated,
      kStalemate,
      "k7/1R6/1K6/8/8/8/8/8 b - - 0 1",                                // stalemate
      "R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1",                             // back-rank mate
  };
  for (const char* fen : fens) {
    Board b;
    ASSERT_TRUE(b.setFen(fen)) << fen;
    EXPECT_EQ(perft(b, 0), 1u) << fen;
    for (int d = 1; d <= 3; ++d) EXPECT_EQ(perft(b, d), 0u) << fen << " depth " << d;
    std::ostringstream out;
    EXPECT_EQ(perftDivide(b, 2, out), 0u);
    EXPECT_EQ(out.str(), "\nNodes searched: 0\n");
  }
}

TEST(PerftDivide, StartPositionDepthOneFormat) {
  Board b;
  ASSERT_TRUE(b.setFen(kStartFen));
  std::ostringstream out;
  EXPECT_EQ(perftDivide(b, 1, out), 20u);
  EXPECT_EQ(out.str(),
            "a2a3: 1\nb2b3: 1\nc2c3: 1\nd2d3: 1\ne2e3: 1\nf2f3: 1\ng2g3: 1\nh2h3: 1\n"
            "a2a4: 1\nb2b4: 1\nc2c4: 1\nd2d4: 1\ne2e4: 1\nf2f4: 1\ng2g4: 1\nh2h4: 1\n"
            "b1a3: 1\nb1c3: 1\ng1f3: 1\ng1h3: 1\n"
            "\nNodes searched: 20\n");
  EXPECT_EQ(b.fen(), kStartFen);
}

TEST(PerftDivide, SkipsIllegalRootMovesAndSumsChildren) {
  // The knight is pinned against the king: its moves are generated but must not be printed.
  Board b;
  ASSERT_TRUE(b.setFen("4r2k/8/8/8/8/8/4N3/4K3 w - - 0 1"));
  std::ostringstream out;
  const u64 total = perftDivide(b, 2, out);
  std::istringstream lines(out.str());
  std::string line;
  u64 sum = 0;
  int moves = 0;
  while (std::getline(lines, line) && !line.empty()) {
    EXPECT_NE(line.substr(0, 2), "e2") << "a pinned knight moved";
    const auto colon = line.find(": ");
    ASSERT_NE(colon, std::string::npos) << line;
    EXPECT_EQ(colon, 4u);
    sum += std::stoull(line.substr(colon + 2));
    ++moves;
  }
  std::getline(lines, line);
  EXPECT_EQ(line, "Nodes searched: " + std::to_string(total));
  EXPECT_EQ(sum, total);
  EXPECT_EQ(total, perft(b, 2));
  EXPECT_EQ(moves, 4);  // the king to d1, d2, f1, f2
}

TEST(PerftDivide, PromotionsPrintTheirPieceLetter) {
  Board b;
  ASSERT_TRUE(b.setFen("1n2k3/P7/8/8/8/8/8/4K3 w - - 0 1"));
  std::ostringstream out;
  perftDivide(b, 1, out);
  const std::string s = out.str();
  // Push promotions come first, queen to knight, then the capture promotions on b8.
  const std::string head = "a7a8q: 1\na7a8r: 1\na7a8b: 1\na7a8n: 1\na7b8q: 1\na7b8r: 1\na7b8b: 1\na7b8n: 1\n";
  EXPECT_EQ(s.substr(0, head.size()), head);
}

}  // namespace
