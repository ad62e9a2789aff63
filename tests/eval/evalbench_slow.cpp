// Speed figures of the evaluation: the KPK bitbase build at start-up and the mean time of one
// evaluate call over positions from random walks. Prints the numbers; asserts nothing about time.
#include <gtest/gtest.h>

#include <chrono>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "board/board.h"
#include "eval/endgame.h"
#include "eval/eval.h"
#include "support/random_walk.h"

namespace {

using Clock = std::chrono::steady_clock;

double nsSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
}

TEST(EvalBench, StartUpAndEvaluateSpeed) {
  initBoardTables();
  auto t0 = Clock::now();
  Eval::init();
  const double evalInitNs = nsSince(t0);
  t0 = Clock::now();
  Endgame::init();
  const double endgameInitNs = nsSince(t0);
  std::printf("Eval::init     %8.3f ms\n", evalInitNs / 1e6);
  std::printf("Endgame::init  %8.3f ms (KPK retrograde analysis)\n", endgameInitNs / 1e6);

  std::vector<std::string> fens;
  for (std::uint64_t seed = 1; seed <= 4; ++seed)
    testsupport::randomWalks(seed, 120, [&](const Board& b) { fens.push_back(b.fen()); });

  // Boards are big (the undo stack), but evaluate touches only their first kilobyte: a batch of
  // boards set up once and evaluated repeatedly measures the function, not the set-up.
  constexpr std::size_t kBatch = 512;
  constexpr int kRounds = 50;
  std::vector<std::unique_ptr<Board>> boards;
  for (std::size_t i = 0; i < kBatch; ++i) boards.emplace_back(new Board);

  // The machine may be busy with other work: besides the mean, report the best round of each batch,
  // which is the figure least disturbed by other processes.
  double coldNs = 0, warmNs = 0, bestNs = 0;
  long long coldCalls = 0, warmCalls = 0, sink = 0;
  for (std::size_t start = 0; start < fens.size(); start += kBatch) {
    const std::size_t n = std::min(kBatch, fens.size() - start);
    for (std::size_t i = 0; i < n; ++i) ASSERT_TRUE(boards[i]->setFen(fens[start + i]));
    // First round: mostly pawn-hash misses.
    auto t = Clock::now();
    for (std::size_t i = 0; i < n; ++i) sink += evaluate(*boards[i]);
    coldNs += nsSince(t);
    coldCalls += static_cast<long long>(n);
    double best = 1e300;
    for (int r = 0; r < kRounds; ++r) {
      t = Clock::now();
      for (std::size_t i = 0; i < n; ++i) sink += evaluate(*boards[i]);
      const double ns = nsSince(t);
      warmNs += ns;
      best = std::min(best, ns);
    }
    bestNs += best;
    warmCalls += static_cast<long long>(n) * kRounds;
  }
  std::printf("evaluate       %8.1f ns per call, best round per batch (%zu positions)\n",
              bestNs / static_cast<double>(fens.size()), fens.size());
  std::printf("evaluate       %8.1f ns per call, mean over %lld calls, pawn hash warm\n",
              warmNs / static_cast<double>(warmCalls), warmCalls);
  std::printf("evaluate       %8.1f ns per call, first visit of each position\n",
              coldNs / static_cast<double>(coldCalls));
  std::printf("(checksum %lld)\n", sink);
  EXPECT_GT(fens.size(), 4000u);
}

}  // namespace
