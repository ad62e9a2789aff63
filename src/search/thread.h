// Search threads (lazy SMP) and the persistent pool that owns them: the per-thread search state,
// the main thread's procedure and the final move choice. The parking of the operating-system
// threads is the thread library's (thread/worker.h).
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "board/board.h"
#include "thread/worker.h"
#include "timeman/timeman.h"
#include "tt/tt.h"

// One remembered static evaluation: the position's key, the halfmove clock (the evaluation damps
// toward the fifty-move draw, so it reads the clock too) and the value.
struct EvalCacheEntry {
  u64 key;
  i32 clock;
  i32 eval;
};
// 16384 entries (256 KB): under memory pressure from other processes a 1 MB cache measured about
// 10% slower than this one, whose lines stay in the core's own cache; 8192 measured the same.
// Two-way: a key may sit in either entry of the aligned pair at key & (size - 2), the newer first.
inline constexpr int kEvalCacheSize = 1 << 14;

// One search thread. The object is large (history and correction tables, a board with its undo
// stack) and lives on the heap; its OS thread parks in its Worker between searches.
//
// Stack: a search thread runs alphaBeta and quiesce to ply 128 on its own stack, plus at most one
// singular-extension frame per ply. Measured (tests/search/stack_slow.cpp): about 2.7 KB per ply
// (3.6 KB under ASan) on top of ~260 KB of thread-local storage, so under 1.2 MB in the worst case.
// The platform's default thread stack is therefore enough (8 MB on Linux with the usual
// `ulimit -s`; glibc falls back to 2 MB when the limit is unlimited).
class Thread {
 public:
  explicit Thread(int id);
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  void startSearching() { worker.start(); }
  void waitForSearchFinished() { worker.wait(); }
  void clearForSearch();
  void mainLoop();

  // True while a search is requested or running (takes the mutex; for the UCI loop and tests).
  bool isSearching() { return worker.busy(); }
  // Lazy SMP schedule: whether this thread leaves out iteration depth d (never for the main
  // thread).
  bool skipsDepth(int depth) const;

  i32 id;
  Board board{};
  SearchLimits limits;
  i32 history[2][64][64];
  i16 pawnCorrection[2][16384];
  i16 nonPawnCorrection[2][2][16384];
  // Evaluations by position: searches meet many positions again (transpositions, re-searches of
  // the same node, the next iteration), and a hit spares the evaluation. The values are exact, so
  // the cache survives every search and is zeroed only once, at construction.
  alignas(64) EvalCacheEntry evalCache[kEvalCacheSize];
  std::atomic<u64> nodes{0};
  std::atomic<u64> qnodes{0};
  // Atomic because the main thread reads every helper's value for its progress lines while the
  // helpers search; a plain int would be a data race.
  std::atomic<i32> seldepth{0};
  i32 completedDepth = 0;
  i32 currentDepth = 0;
  u32 rootBestMove = 0;
  i32 rootBestScore = 0;
  u32 bestMove = 0;
  i32 bestScore = 0;
  // The table this thread's searches read and write: the shared one, except for data-generation
  // workers, which each play their own games with a table of their own.
  TranspositionTable* tt = &gTT;

 private:
  // What a woken thread runs: the main thread's procedure, or a helper's iterative deepening.
  void run();

  // Last, so that it is joined before the state it searches on is destroyed.
  Worker worker{[this] { run(); }};
};

// A new parked thread, or null when the system refuses one (no memory for it, or no more threads).
std::unique_ptr<Thread> tryCreateThread(int id);

class ThreadPool {
 public:
  ~ThreadPool();
  // Returns the number of threads now in the pool: fewer than asked, possibly none, when the system
  // refuses more.
  std::size_t set(unsigned long n);
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

// The stop flag as the searching threads poll it: relaxed, since a late look costs only a few nodes.
inline bool stopped() { return gStopSearch.load(std::memory_order_relaxed); }

extern const int kSkipSize[20];
extern const int kSkipPhase[20];
