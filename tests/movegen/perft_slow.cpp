// The deep entries of the published perft suite (every count above the fast binary's leaf budget),
// including the three benchmark positions at depth 5.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "movegen/perft.h"
#include "perft_table.h"
#include "test_env.h"

namespace {

constexpr std::uint64_t kFastLeafLimit = 1'500'000;  // the fast binary covers everything below

class PerftSuiteDeep : public ::testing::TestWithParam<const char*> {};

TEST_P(PerftSuiteDeep, DeepCountsMatch) {
  const PerftCase c = parsePerftLine(GetParam());
  Board b;
  ASSERT_TRUE(b.setFen(c.fen)) << c.fen;
  const std::string before = b.fen();
  for (auto [depth, leaves] : c.counts) {
    if (leaves <= kFastLeafLimit) continue;
    EXPECT_EQ(perft(b, depth), leaves) << c.fen << " depth " << depth;
    EXPECT_EQ(b.fen(), before);
  }
}

INSTANTIATE_TEST_SUITE_P(Published, PerftSuiteDeep, ::testing::ValuesIn(kPerftSuite));

TEST(PerftBench, ThreeDepthFiveCountsSumToTheBenchTotal) {
  const char* const fens[] = {
      kStartFen,
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
  };
  // Leaves per second for the record; speed is reported, never asserted.
  const auto start = std::chrono::steady_clock::now();
  u64 total = 0;
  for (const char* fen : fens) {
    Board b;
    ASSERT_TRUE(b.setFen(fen));
    total += perft(b, 5);
  }
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(total, 199230923u);
  std::printf("bench perft: %llu leaves in %.2f s, %.1f M leaves/s\n", static_cast<unsigned long long>(total),
              secs, total / secs / 1e6);
}

}  // namespace
