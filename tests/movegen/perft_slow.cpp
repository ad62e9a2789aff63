// The deep entries of the published perft suite (every count above the fast binary's leaf budget),
// including the three benchmark positions at depth 5.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <sstream>

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

// What the "bench" subcommand prints.
TEST(PerftBench, ThreeDepthFiveCountsAndTheirTotal) {
  // Leaves per second for the record; speed is reported, never asserted.
  const auto start = std::chrono::steady_clock::now();
  std::ostringstream out;
  Board b;
  const u64 total = perftBench(b, out);
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(out.str(),
            "pos 1: 4865609 nodes\n"
            "pos 2: 193690690 nodes\n"
            "pos 3: 674624 nodes\n"
            "Total: 199230923 nodes\n");
  std::printf("bench perft: %llu leaves in %.2f s, %.1f M leaves/s\n", static_cast<unsigned long long>(total),
              secs, total / secs / 1e6);
}

}  // namespace
