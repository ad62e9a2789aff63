// Time manager: soft and hard budgets of one search from the "go" limits and the move overhead.
#include "timeman/timeman.h"

#include <algorithm>

TimeManager gTime;
std::atomic<int> gMoveOverhead{10};

void TimeManager::start(const SearchLimits& limits, int sideToMove) {
  startTime = std::chrono::steady_clock::now();
  soft = 0;
  hard = 0;
  useTime = false;
  fixed = false;
  const i64 overhead = std::max(gMoveOverhead.load(std::memory_order_relaxed), 0);

  if (limits.movetime >= 1) {
    soft = hard = std::max<i64>(limits.movetime - overhead, 1);
    useTime = true;
    fixed = true;
    return;
  }

  // Only the side to move's clock counts.
  const i64 time = sideToMove == White ? limits.wtime : limits.btime;
  const i64 inc = sideToMove == White ? limits.winc : limits.binc;
  // A GUI may send a clock of 0 or less after a late move or a reconnect: that side must move at
  // once, so it gets the smallest budget (avail 1 below) rather than none.
  if (time < 1 && !limits.clockGiven[sideToMove]) return;

  useTime = true;
  const i64 mtg = limits.movestogo > 0 ? limits.movestogo : 50;
  const i64 avail = std::max<i64>(time - overhead, 1);
  // 64-bit arithmetic: the increment times 750 would overflow 32 bits for increments above ~47 min.
  // With a clock at or below the overhead avail is 1, so both budgets become 0 and the first poll
  // stops the search.
  soft = std::min(avail / 2, inc * 750 / 1000 + avail / mtg);
  hard = std::min(avail * 900 / 1000, 4 * soft);
}

i64 TimeManager::elapsed() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               startTime)
      .count();
}

bool TimeManager::startNextIteration(i64 elapsedMs) const {
  if (!useTime) return true;
  // On a clock, an iteration started after half the soft budget would rarely finish in time.
  return fixed ? elapsedMs < soft : 2 * elapsedMs < soft;
}

bool TimeManager::shouldStop(u64 nodes) const {
  // Reading the clock costs more than a node; look at it every 2048 nodes only.
  if ((nodes & 2047) != 0 || !useTime) return false;
  return elapsed() >= hard;
}

bool TimeManager::hardLimitHit() const { return useTime && elapsed() >= hard; }
