// Time manager: the budgets of the worked examples, the tiny clock, and whose clock counts.
#include "timeman/timeman.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <thread>

namespace {

class TimeManagerTest : public ::testing::Test {
 protected:
  void SetUp() override { gMoveOverhead.store(10); }
  void TearDown() override { gMoveOverhead.store(10); }
  TimeManager tm;
};

TEST_F(TimeManagerTest, MovetimeSubtractsOverhead) {
  tm.start({.movetime = 1000}, White);
  EXPECT_TRUE(tm.usesTime());
  EXPECT_EQ(tm.softLimit(), 990);
  EXPECT_EQ(tm.hardLimit(), 990);
  // A fixed budget starts iterations while less than the whole budget is spent.
  EXPECT_TRUE(tm.startNextIteration(0));
  EXPECT_TRUE(tm.startNextIteration(989));
  EXPECT_FALSE(tm.startNextIteration(990));
  EXPECT_FALSE(tm.hardLimitHit());
  EXPECT_FALSE(tm.shouldStop(2048));
}

TEST_F(TimeManagerTest, MovetimeWinsOverTheClockAndNeverDropsBelowOneMs) {
  tm.start({.movetime = 5, .wtime = 60000, .winc = 1000}, White);
  EXPECT_EQ(tm.softLimit(), 1);
  EXPECT_EQ(tm.hardLimit(), 1);
  EXPECT_TRUE(tm.startNextIteration(0));
  EXPECT_FALSE(tm.startNextIteration(1));
}

TEST_F(TimeManagerTest, ClockWithIncrement) {
  tm.start({.wtime = 60000, .winc = 1000}, White);
  EXPECT_TRUE(tm.usesTime());
  EXPECT_EQ(tm.softLimit(), 1949);  // min(59990 / 2, 750 + 59990 / 50)
  EXPECT_EQ(tm.hardLimit(), 7796);  // min(59990 * 0.9, 4 * 1949)
  // New iterations only while less than half the soft budget is spent: up to 974 ms.
  EXPECT_TRUE(tm.startNextIteration(974));
  EXPECT_FALSE(tm.startNextIteration(975));
  EXPECT_FALSE(tm.startNextIteration(1949));
}

// Soft and hard budgets from the side to move's clock, increment and moves to go (overhead 10 ms).
TEST_F(TimeManagerTest, ClockBudgets) {
  constexpr i64 kMaxSoft = (static_cast<i64>(INT_MAX) - 10) / 50;
  const struct {
    SearchLimits limits;
    Color side;
    i64 soft, hard;
  } cases[] = {
      {{.btime = 60000, .movestogo = 10}, Black, 5999, 23996},
      // Capped at half the clock and at 90 % of it.
      {{.btime = 60000, .movestogo = 1}, Black, 29995, 53991},
      {{.btime = 60000, .movestogo = -3}, Black, 1199, 4796},  // a negative count is not given
      {{.btime = 60000, .binc = 1000}, Black, 1949, 7796},
      {{.btime = 60000, .winc = 100000, .binc = 1000}, Black, 1949, 7796},  // not White's increment
      // A huge increment or clock does not overflow.
      {{.wtime = 60000, .winc = INT_MAX}, White, 29995, 53991},
      {{.wtime = INT_MAX}, White, kMaxSoft, 4 * kMaxSoft},
  };
  for (const auto& c : cases) {
    tm.start(c.limits, c.side);
    EXPECT_TRUE(tm.usesTime());
    EXPECT_EQ(tm.softLimit(), c.soft) << c.limits.wtime << " " << c.limits.btime;
    EXPECT_EQ(tm.hardLimit(), c.hard) << c.limits.wtime << " " << c.limits.btime;
  }
}

TEST_F(TimeManagerTest, TinyClockGivesZeroBudgets) {
  tm.start({.wtime = 10, .winc = 5000}, White);  // a clock not above the overhead
  EXPECT_TRUE(tm.usesTime());
  EXPECT_EQ(tm.softLimit(), 0);
  EXPECT_EQ(tm.hardLimit(), 0);
  EXPECT_FALSE(tm.startNextIteration(0));
  EXPECT_TRUE(tm.hardLimitHit());
  // The clock is looked at only on multiples of 2048 nodes.
  EXPECT_FALSE(tm.shouldStop(1));
  EXPECT_FALSE(tm.shouldStop(2047));
  EXPECT_TRUE(tm.shouldStop(2048));
  EXPECT_TRUE(tm.shouldStop(4096));

  tm.start({.wtime = 1, .winc = 5000}, White);
  EXPECT_EQ(tm.softLimit(), 0);
  EXPECT_EQ(tm.hardLimit(), 0);
}

TEST_F(TimeManagerTest, OnlyTheSideToMovesClockCounts) {
  tm.start({.btime = 60000, .binc = 1000}, White);
  EXPECT_FALSE(tm.usesTime());
  EXPECT_TRUE(tm.startNextIteration(1000000));
  EXPECT_FALSE(tm.shouldStop(2048));
  EXPECT_FALSE(tm.hardLimitHit());

  tm.start({.wtime = 60000}, Black);
  EXPECT_FALSE(tm.usesTime());
}

TEST_F(TimeManagerTest, ClockGivenAtOrBelowZeroGetsTheSmallestBudget) {
  for (const int clock : {0, -20, INT_MIN}) {
    SearchLimits l;
    l.btime = clock;
    l.binc = 5000;
    l.clockGiven[Black] = true;
    tm.start(l, Black);
    EXPECT_TRUE(tm.usesTime()) << clock;
    EXPECT_EQ(tm.softLimit(), 0) << clock;
    EXPECT_EQ(tm.hardLimit(), 0) << clock;
    EXPECT_TRUE(tm.shouldStop(2048)) << clock;
    // The same field without the clock named in "go": no budget at all.
    l.clockGiven[Black] = false;
    tm.start(l, Black);
    EXPECT_FALSE(tm.usesTime()) << clock;
  }
}

TEST_F(TimeManagerTest, NoTimeLimitsMeansNoBudget) {
  tm.start({.depth = 5, .infinite = true, .nodes = 1000}, White);
  EXPECT_FALSE(tm.usesTime());
  EXPECT_EQ(tm.softLimit(), 0);
  EXPECT_EQ(tm.hardLimit(), 0);
  EXPECT_TRUE(tm.startNextIteration(1 << 30));
  EXPECT_FALSE(tm.shouldStop(0));
}

TEST_F(TimeManagerTest, StartForgetsThePreviousSearch) {
  tm.start({.movetime = 1000}, White);
  tm.start(SearchLimits{}, White);
  EXPECT_FALSE(tm.usesTime());
  EXPECT_EQ(tm.softLimit(), 0);
  EXPECT_EQ(tm.hardLimit(), 0);
}

TEST_F(TimeManagerTest, MoveOverheadIsReadAtStartAndNeverNegative) {
  const SearchLimits l{.movetime = 1000};
  gMoveOverhead.store(0);
  tm.start(l, White);
  EXPECT_EQ(tm.softLimit(), 1000);
  gMoveOverhead.store(-5);
  tm.start(l, White);
  EXPECT_EQ(tm.softLimit(), 1000);
  gMoveOverhead.store(5000);
  tm.start(l, White);
  EXPECT_EQ(tm.softLimit(), 1);
  // Changing the overhead later does not touch a running budget.
  gMoveOverhead.store(10);
  EXPECT_EQ(tm.softLimit(), 1);
}

TEST_F(TimeManagerTest, ElapsedCountsMillisecondsFromStart) {
  tm.start({.movetime = 60}, White);
  EXPECT_LT(tm.elapsed(), 50);
  EXPECT_FALSE(tm.hardLimitHit());
  std::this_thread::sleep_for(std::chrono::milliseconds(80));
  EXPECT_GE(tm.elapsed(), 80);
  EXPECT_TRUE(tm.hardLimitHit());
  EXPECT_TRUE(tm.shouldStop(2048));
  EXPECT_FALSE(tm.shouldStop(2049));
}

}  // namespace
