// The thread library: an operating-system thread that parks between jobs. It knows nothing of
// chess or of the search; the search's Thread (search/thread.h) owns one to run its work on.
// May use: the standard library only.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Starts its thread at construction and returns once that thread is parked; start() wakes it to
// run the job once, after which it parks again. The destructor wakes it to exit and joins it.
// Construction throws std::system_error when the system refuses a thread.
//
// Memory order: everything written before start() is visible to the job (the wake happens under
// the mutex), and everything the job wrote is visible after wait() returns.
class Worker {
 public:
  explicit Worker(std::function<void()> job);
  ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  void start();
  // Returns once the job has finished and the thread is parked again.
  void wait();
  // True while a job is requested or running (takes the mutex).
  bool busy();

 private:
  void idleLoop();

  std::function<void()> job;
  std::mutex mutex;
  std::condition_variable cv;
  bool running = false;
  bool exiting = false;
  std::thread osThread;
};
