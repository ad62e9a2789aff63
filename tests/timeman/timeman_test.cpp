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

TEST_F(TimeManagerTest, LimitDefaults) {
  const SearchLimits l;
  EXPECT_EQ(l.depth, 100);
  EXPECT_EQ(l.movetime, -1);
  EXPECT_EQ(l.wtime, -1);
  EXPECT_EQ(l.btime, -1);
  EXPECT_EQ(l.winc, 0);
  EXPECT_EQ(l.binc, 0);
  EXPECT_EQ(l.movestogo, 0);
  EXPECT_FALSE(l.infinite);
  EXPECT_EQ(l.nodes, 0);
  EXPECT_EQ(gMoveOverhead.load(), 10);
}

TEST_F(TimeManagerTest, MovetimeSubtractsOverhead) {
  SearchLimits l;
  l.movetime = 1000;
  tm.start(l, White);
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
  SearchLimits l;
  l.movetime = 5;
  l.wtime = 60000;
  l.winc = 1000;
  tm.start(l, White);
  EXPECT_EQ(tm.softLimit(), 1);
  EXPECT_EQ(tm.hardLimit(), 1);
  EXPECT_TRUE(tm.startNextIteration(0));
  EXPECT_FALSE(tm.startNextIteration(1));
}

TEST_F(TimeManagerTest, ClockWithIncrement) {
  SearchLimits l;
  l.wtime = 60000;
  l.winc = 1000;
  tm.start(l, White);
  EXPECT_TRUE(tm.usesTime());
  EXPECT_EQ(tm.softLimit(), 1949);  // min(59990 / 2, 750 + 59990 / 50)
  EXPECT_EQ(tm.hardLimit(), 7796);  // min(59990 * 0.9, 4 * 1949)
  // New iterations only while less than half the soft budget is spent: up to 974 ms.
  EXPECT_TRUE(tm.startNextIteration(974));
  EXPECT_FALSE(tm.startNextIteration(975));
  EXPECT_FALSE(tm.startNextIteration(1949));
}

TEST_F(TimeManagerTest, MovesToGo) {
  SearchLimits l;
  l.btime = 60000;
  l.movestogo = 10;
  tm.start(l, Black);
  EXPECT_EQ(tm.softLimit(), 5999);
  EXPECT_EQ(tm.hardLimit(), 23996);
  l.movestogo = 1;  // soft capped at half the clock, hard at 90 %
  tm.start(l, Black);
  EXPECT_EQ(tm.softLimit(), 29995);
  EXPECT_EQ(tm.hardLimit(), 53991);
  l.movestogo = -3;  // not given: 50
  tm.start(l, Black);
  EXPECT_EQ(tm.softLimit(), 1199);
}

TEST_F(TimeManagerTest, TinyClockGivesZeroBudgets) {
  SearchLimits l;
  l.wtime = 10;  // not more than the overhead
  l.winc = 5000;
  tm.start(l, White);
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

  l.wtime = 1;
  tm.start(l, White);
  EXPECT_EQ(tm.softLimit(), 0);
  EXPECT_EQ(tm.hardLimit(), 0);
}

TEST_F(TimeManagerTest, OnlyTheSideToMovesClockCounts) {
  SearchLimits l;
  l.btime = 60000;
  l.binc = 1000;
  tm.start(l, White);
  EXPECT_FALSE(tm.usesTime());
  EXPECT_TRUE(tm.startNextIteration(1000000));
  EXPECT_FALSE(tm.shouldStop(2048));
  EXPECT_FALSE(tm.hardLimitHit());

  tm.start(l, Black);
  EXPECT_TRUE(tm.usesTime());
  EXPECT_EQ(tm.softLimit(), 1949);
  EXPECT_EQ(tm.hardLimit(), 7796);

  // White's increment is ignored when Black moves.
  l.winc = 100000;
  tm.start(l, Black);
  EXPECT_EQ(tm.softLimit(), 1949);

  l = SearchLimits{};
  l.wtime = 60000;
  tm.start(l, Black);
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
  SearchLimits l;
  l.depth = 5;
  l.nodes = 1000;
  l.infinite = true;
  tm.start(l, White);
  EXPECT_FALSE(tm.usesTime());
  EXPECT_EQ(tm.softLimit(), 0);
  EXPECT_EQ(tm.hardLimit(), 0);
  EXPECT_TRUE(tm.startNextIteration(1 << 30));
  EXPECT_FALSE(tm.shouldStop(0));
}

TEST_F(TimeManagerTest, StartForgetsThePreviousSearch) {
  SearchLimits l;
  l.movetime = 1000;
  tm.start(l, White);
  tm.start(SearchLimits{}, White);
  EXPECT_FALSE(tm.usesTime());
  EXPECT_EQ(tm.softLimit(), 0);
  EXPECT_EQ(tm.hardLimit(), 0);
}

TEST_F(TimeManagerTest, MoveOverheadIsReadAtStartAndNeverNegative) {
  SearchLimits l;
  l.movetime = 1000;
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

TEST_F(TimeManagerTest, HugeIncrementDoesNotOverflow) {
  SearchLimits l;
  l.wtime = 60000;
  l.winc = INT_MAX;
  tm.start(l, White);
  EXPECT_EQ(tm.softLimit(), 29995);
  EXPECT_EQ(tm.hardLimit(), 53991);
  l.wtime = INT_MAX;
  l.winc = 0;
  tm.start(l, White);
  EXPECT_EQ(tm.softLimit(), (static_cast<i64>(INT_MAX) - 10) / 50);
  EXPECT_EQ(tm.hardLimit(), 4 * tm.softLimit());
}

TEST_F(TimeManagerTest, ElapsedCountsMillisecondsFromStart) {
  SearchLimits l;
  l.movetime = 60;
  tm.start(l, White);
  EXPECT_LT(tm.elapsed(), 50);
  EXPECT_FALSE(tm.hardLimitHit());
  std::this_thread::sleep_for(std::chrono::milliseconds(80));
  EXPECT_GE(tm.elapsed(), 80);
  EXPECT_TRUE(tm.hardLimitHit());
  EXPECT_TRUE(tm.shouldStop(2048));
  EXPECT_FALSE(tm.shouldStop(2049));
}

}  // namespace
