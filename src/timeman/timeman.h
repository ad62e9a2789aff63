// Search limits of one "go" and the soft/hard time budgets derived from them.
#pragma once

#include <atomic>
#include <chrono>

#include "types/types.h"

struct SearchLimits {
  i32 depth = 100;
  i32 movetime = -1;
  i32 wtime = -1;
  i32 btime = -1;
  i32 winc = 0;
  i32 binc = 0;
  i32 movestogo = 0;
  bool infinite = false;
  i64 nodes = 0;
  // Whether "go" named wtime / btime: a clock given at 0 or below is a clock that has run out,
  // while an absent one means no time limit.
  bool clockGiven[2] = {false, false};
};

class TimeManager {
 public:
  void start(const SearchLimits& limits, int sideToMove);
  i64 elapsed() const;
  bool startNextIteration(i64 elapsedMs) const;
  bool shouldStop(u64 nodes) const;
  bool hardLimitHit() const;

  i64 softLimit() const { return soft; }
  i64 hardLimit() const { return hard; }
  bool usesTime() const { return useTime; }

 private:
  std::chrono::steady_clock::time_point startTime{};
  i64 soft = 0;
  i64 hard = 0;
  bool useTime = false;
  bool fixed = false;
};

extern TimeManager gTime;
extern std::atomic<int> gMoveOverhead;
