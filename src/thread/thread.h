// Search threads (lazy SMP) and the persistent pool that owns them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "board/board.h"
#include "timeman/timeman.h"

class Thread {
 public:
  explicit Thread(int id);
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  void idleLoop();
  void startSearching();
  void waitForSearchFinished();
  void clearForSearch();
  void mainLoop();

  i32 id;
  Board board;
  SearchLimits limits;
  i32 history[2][64][64];
  i16 pawnCorrection[2][16384];
  i16 nonPawnCorrection[2][2][16384];
  std::atomic<u64> nodes{0};
  std::atomic<u64> qnodes{0};
  i32 seldepth = 0;
  i32 completedDepth = 0;
  i32 currentDepth = 0;
  u32 rootBestMove = 0;
  i32 rootBestScore = 0;
  u32 bestMove = 0;
  i32 bestScore = 0;

 private:
  std::thread osThread;
  std::mutex mutex;
  std::condition_variable cv;
  bool searching = false;
  bool exiting = false;
};

class ThreadPool {
 public:
  ~ThreadPool();
  void set(unsigned long n);
  void startThinking(const Board& board, const SearchLimits& limits);
  void startHelpers();
  void waitForHelpersFinished();
  void waitForSearchFinished();
  Thread& bestThread() const;
  u64 totalNodes() const;
  int totalSeldepth() const;
  std::size_t size() const { return threads.size(); }
  Thread& operator[](std::size_t i) const { return *threads[i]; }

 private:
  std::vector<std::unique_ptr<Thread>> threads;
};

extern ThreadPool gThreads;
extern std::atomic<bool> gStopSearch;
extern int gThreadCount;

extern const int kSkipSize[20];
extern const int kSkipPhase[20];
