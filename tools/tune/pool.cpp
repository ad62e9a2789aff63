// The lane pool: workers sleep on a condition variable between jobs.
#include "tools/tune/pool.h"

#include <algorithm>

namespace TuneTool {

LanePool::LanePool(int threads) : threads_(std::clamp(threads, 1, kLanes)) {
  workers_.reserve(static_cast<std::size_t>(threads_ - 1));
  for (int t = 1; t < threads_; ++t) workers_.emplace_back([this, t] { workerLoop(t); });
}

LanePool::~LanePool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  for (std::thread& w : workers_) w.join();
}

void LanePool::runLanes(int thread) {
  const int from = kLanes * thread / threads_, to = kLanes * (thread + 1) / threads_;
  for (int lane = from; lane < to; ++lane) fn_(ctx_, lane);
}

void LanePool::runRaw(Fn fn, void* ctx) {
  if (threads_ == 1) {
    for (int lane = 0; lane < kLanes; ++lane) fn(ctx, lane);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    fn_ = fn;
    ctx_ = ctx;
    pending_ = threads_ - 1;
    ++generation_;
  }
  wake_.notify_all();
  runLanes(0);
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return pending_ == 0; });
}

void LanePool::workerLoop(int thread) {
  unsigned long seen = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return quit_ || generation_ != seen; });
      if (quit_) return;
      seen = generation_;
    }
    runLanes(thread);
    bool last = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      last = --pending_ == 0;
    }
    if (last) done_.notify_one();
  }
}

}  // namespace TuneTool
