// The parking protocol: a worker runs its job once per start, parks in between, and its
// destructor joins it whether parked or just woken (also run under ThreadSanitizer).
#include "thread/worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

TEST(Worker, ParkedAtConstructionAndRunsTheJobOncePerStart) {
  int runs = 0;  // written by the worker, read after wait(): the protocol publishes it
  Worker w([&runs] { ++runs; });
  EXPECT_FALSE(w.busy());
  EXPECT_EQ(runs, 0);
  for (int i = 1; i <= 50; ++i) {
    w.start();
    w.wait();
    EXPECT_EQ(runs, i);
    EXPECT_FALSE(w.busy());
  }
}

TEST(Worker, BusyUntilTheJobEnds) {
  std::atomic<bool> release{false};
  Worker w([&release] {
    while (!release.load()) std::this_thread::yield();
  });
  w.start();
  EXPECT_TRUE(w.busy());
  release.store(true);
  w.wait();
  EXPECT_FALSE(w.busy());
}

TEST(Worker, DestroyedRightAfterAStartStillRunsOrSkipsTheJobCleanly) {
  for (int i = 0; i < 100; ++i) {
    std::atomic<int> runs{0};
    {
      Worker w([&runs] { runs.fetch_add(1); });
      w.start();
    }
    EXPECT_LE(runs.load(), 1);
  }
}

}  // namespace
