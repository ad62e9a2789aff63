// Search threads and their pool: the parking protocol, the start of a search, the final move.
#include "search/thread.h"

#include <chrono>
#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include "search/search.h"
#include "tt/tt.h"

// The stop flag is defined first so that it outlives the pool, whose destructor raises it.
std::atomic<bool> gStopSearch{false};
int gThreadCount = 1;
ThreadPool gThreads;

// Helper id h uses column (h - 1) % 20: neighbouring helpers start at different depths and skip
// in runs of different lengths, so together they cover each depth from several threads.
const int kSkipSize[20] = {1, 1, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 4, 4, 4, 4};
const int kSkipPhase[20] = {0, 1, 0, 1, 2, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 1, 2, 3};

// The worker is parked when its constructor returns, and only a later wake lets it read the state
// set here (the wake publishes it under the worker's mutex).
Thread::Thread(int threadId) : id(threadId) {
  std::memset(evalCache, 0, sizeof(evalCache));
  clearForSearch();
}

Thread::~Thread() = default;

void Thread::run() {
  if (id == 0)
    mainLoop();
  else
    iterativeDeepening(*this);
}

bool Thread::skipsDepth(int depth) const {
  if (id == 0) return false;
  const int i = (id - 1) % 20;
  return kSkipSize[i] != 0 && (depth + kSkipPhase[i]) / kSkipSize[i] % 2 == 1;
}

void Thread::clearForSearch() {
  std::memset(history, 0, sizeof(history));
  std::memset(pawnCorrection, 0, sizeof(pawnCorrection));
  std::memset(nonPawnCorrection, 0, sizeof(nonPawnCorrection));
  nodes.store(0, std::memory_order_relaxed);
  qnodes.store(0, std::memory_order_relaxed);
  seldepth.store(0, std::memory_order_relaxed);
  completedDepth = 0;
  rootBestMove = 0;
  rootBestScore = 0;
  bestMove = 0;
  bestScore = 0;
}

void Thread::mainLoop() {
  gTime.start(limits, board.side);
  gThreads.startHelpers();
  iterativeDeepening(*this);

  // An infinite search may run out of depths early; "bestmove" must still wait for the stop.
  if (limits.infinite)
    while (!stopped())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));

  gStopSearch.store(true, std::memory_order_relaxed);
  // The helpers' result fields may only be read once each of them is parked again.
  gThreads.waitForHelpersFinished();

  const Thread& best = gThreads.bestThread();
  // One write of the whole line, so that it cannot interleave with replies of the UCI thread.
  std::cout << ("bestmove " + moveToString(best.bestMove) + "\n") << std::flush;
}

ThreadPool::~ThreadPool() {
  // Normally the UCI loop has stopped the search already; at exit nothing may keep searching on
  // tables that are about to be destroyed.
  if (!threads.empty()) {
    gStopSearch.store(true, std::memory_order_relaxed);
    waitForSearchFinished();
  }
  while (!threads.empty()) threads.pop_back();
}

std::unique_ptr<Thread> tryCreateThread(int id) {
  // The only exceptions the engine catches: a process at its memory or thread limit must go on
  // with what it has rather than die in the middle of a game.
  try {
    return std::make_unique<Thread>(id);
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
  return nullptr;
}

std::size_t ThreadPool::set(unsigned long n) {
  if (!threads.empty()) waitForSearchFinished();
  while (!threads.empty()) threads.pop_back();  // last first
  const unsigned long count = n < 1 ? 1 : n;
  threads.reserve(count);
  for (unsigned long i = 0; i < count; ++i) {
    auto t = tryCreateThread(static_cast<int>(i));
    if (!t) break;
    threads.push_back(std::move(t));
  }
  return threads.size();
}

void ThreadPool::startThinking(const Board& board, const SearchLimits& limits) {
  if (threads.empty()) return;
  waitForSearchFinished();
  gStopSearch.store(false, std::memory_order_relaxed);
  gTT.newSearch();
  // Every thread is parked here, so its fields can be written from this thread; waking the main
  // thread (under its mutex) publishes them, and it passes them on when it wakes the helpers.
  for (auto& t : threads) {
    t->board = board;
    t->limits = limits;
    t->clearForSearch();
  }
  threads[0]->startSearching();
}

void ThreadPool::startHelpers() {
  for (std::size_t i = 1; i < threads.size(); ++i) threads[i]->startSearching();
}

void ThreadPool::waitForHelpersFinished() {
  for (std::size_t i = 1; i < threads.size(); ++i) threads[i]->waitForSearchFinished();
}

void ThreadPool::waitForSearchFinished() {
  if (!threads.empty()) threads[0]->waitForSearchFinished();
}

Thread& ThreadPool::bestThread() const {
  Thread* best = threads[0].get();
  // No voting: the deepest completed iteration wins, then the higher score; a helper that has not
  // completed an iteration (move 0) never wins.
  for (std::size_t i = 1; i < threads.size(); ++i) {
    Thread* t = threads[i].get();
    if (t->bestMove == 0) continue;
    if (t->completedDepth > best->completedDepth ||
        (t->completedDepth == best->completedDepth && t->bestScore > best->bestScore))
      best = t;
  }
  return *best;
}

u64 ThreadPool::totalNodes() const {
  u64 total = 0;
  for (const auto& t : threads) total += t->nodes.load(std::memory_order_relaxed);
  return total;
}

int ThreadPool::totalSeldepth() const {
  int deepest = 0;
  for (const auto& t : threads) {
    const int s = t->seldepth.load(std::memory_order_relaxed);
    if (s > deepest) deepest = s;
  }
  return deepest;
}
