// A small fixed pool of worker threads that runs a job as a fixed number of lanes. The lanes, not
// the threads, define how work is split, so results summed lane by lane in lane order are the same
// bit for bit whatever the thread count.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

namespace TuneTool {

inline constexpr int kLanes = 64;  // also the most threads that can be busy at once

// The part of [0, n) that lane `lane` of kLanes handles.
inline std::size_t laneBegin(std::size_t n, int lane) {
  return n * static_cast<std::size_t>(lane) / kLanes;
}

class LanePool {
 public:
  explicit LanePool(int threads);  // clamped to 1..kLanes; the calling thread is one of them
  ~LanePool();
  LanePool(const LanePool&) = delete;
  LanePool& operator=(const LanePool&) = delete;

  int threads() const { return threads_; }

  // Calls job(lane) once for every lane 0..kLanes-1, spread over the threads, and returns when all
  // are done. Thread t runs a contiguous block of lanes.
  template <class Job>
  void run(Job& job) {
    runRaw([](void* j, int lane) { (*static_cast<Job*>(j))(lane); }, &job);
  }

 private:
  using Fn = void (*)(void*, int);
  void runRaw(Fn fn, void* ctx);
  void runLanes(int thread);
  void workerLoop(int thread);

  int threads_;
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  Fn fn_ = nullptr;
  void* ctx_ = nullptr;
  unsigned long generation_ = 0;
  int pending_ = 0;
  bool quit_ = false;
};

}  // namespace TuneTool
