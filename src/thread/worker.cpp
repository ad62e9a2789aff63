// The parking protocol of a worker thread.
#include "thread/worker.h"

#include <utility>

Worker::Worker(std::function<void()> work) : job(std::move(work)) {
  // idleLoop clears the flag once parked; waiting for that makes construction synchronous.
  running = true;
  osThread = std::thread(&Worker::idleLoop, this);
  wait();
}

Worker::~Worker() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    exiting = true;
    running = true;
  }
  cv.notify_all();
  osThread.join();
}

void Worker::idleLoop() {
  while (true) {
    std::unique_lock<std::mutex> lock(mutex);
    running = false;
    cv.notify_all();
    cv.wait(lock, [this] { return running || exiting; });
    if (exiting) return;
    lock.unlock();  // never hold the mutex while working
    job();
  }
}

void Worker::start() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    running = true;
  }
  cv.notify_all();
}

void Worker::wait() {
  std::unique_lock<std::mutex> lock(mutex);
  cv.wait(lock, [this] { return !running; });
}

bool Worker::busy() {
  std::lock_guard<std::mutex> lock(mutex);
  return running;
}
