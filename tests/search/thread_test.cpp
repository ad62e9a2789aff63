// Thread pool: sizing, the parking protocol, lazy-SMP depth skipping, the final move choice, and
// start/stop storms (also run under ThreadSanitizer).
#include "search/thread.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "movegen/movegen.h"
#include "search_env.h"
#include "support/boards.h"
#include "support/capture.h"
#include "support/moves.h"
#include "support/positions.h"
#include "tt/tt.h"

namespace {

using testsupport::boardFrom;
using testsupport::StreamCapture;

// Aborts the test binary if a test hangs, instead of letting CI wait for its global timeout.
class Watchdog {
 public:
  explicit Watchdog(int seconds) {
    worker = std::thread([this, seconds] {
      std::unique_lock<std::mutex> lock(m);
      if (!cv.wait_for(lock, std::chrono::seconds(seconds), [this] { return done; })) {
        std::fprintf(stderr, "watchdog: test hung for %d s\n", seconds);
        std::abort();
      }
    });
  }
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(m);
      done = true;
    }
    cv.notify_all();
    worker.join();
  }

 private:
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  std::thread worker;
};

bool isLegalMoveText(const char* fen, const std::string& text) {
  return testsupport::findLegal(*boardFrom(fen), text) != 0;
}

int countOf(const std::string& haystack, const std::string& needle) {
  int n = 0;
  for (std::size_t p = haystack.find(needle); p != std::string::npos;
       p = haystack.find(needle, p + 1))
    ++n;
  return n;
}

// The move of the last "bestmove" line, or "" when there is none.
std::string lastBestmove(const std::string& out) {
  const std::size_t p = out.rfind("bestmove ");
  if (p == std::string::npos) return "";
  const std::size_t start = p + 9;
  return out.substr(start, out.find('\n', start) - start);
}

// Runs one complete search and returns what it printed.
std::string search(const char* fen, const SearchLimits& limits) {
  auto b = boardFrom(fen);
  StreamCapture capture;
  gThreads.startThinking(*b, limits);
  gThreads.waitForSearchFinished();
  return capture.text();
}

class ThreadPoolTest : public ::testing::Test {
 protected:
  void TearDown() override {
    gStopSearch.store(true);
    gThreads.waitForSearchFinished();
    gThreads.set(1);
  }
  Watchdog watchdog{300};
};

TEST_F(ThreadPoolTest, NewThreadIsParked) {
  auto t = std::make_unique<Thread>(3);
  EXPECT_EQ(t->id, 3);
  EXPECT_FALSE(t->isSearching());
}

TEST_F(ThreadPoolTest, SetRepeatedlyResizesAndEveryPoolSearches) {
  for (unsigned long n : {1ul, 3ul, 2ul, 4ul, 1ul, 0ul, 2ul, 2ul}) {
    gThreads.set(n);
    const std::size_t expected = n < 1 ? 1 : n;
    ASSERT_EQ(gThreads.size(), expected);
    for (std::size_t i = 0; i < expected; ++i) {
      EXPECT_EQ(gThreads[i].id, static_cast<int>(i));
      EXPECT_FALSE(gThreads[i].isSearching());
    }
    const std::string out = search(kStartFen, {.depth = 3});
    EXPECT_EQ(countOf(out, "bestmove "), 1) << out;
    EXPECT_TRUE(isLegalMoveText(kStartFen, lastBestmove(out))) << out;
  }
}

TEST_F(ThreadPoolTest, SingleThreadSearchPrintsItsOwnMove) {
  gThreads.set(1);
  const std::string out = search(kKiwipete, {.depth = 4});
  EXPECT_EQ(gThreads[0].completedDepth, 4);
  EXPECT_NE(gThreads[0].bestMove, 0u);
  EXPECT_EQ(&gThreads.bestThread(), &gThreads[0]);
  EXPECT_EQ(lastBestmove(out), moveToString(gThreads[0].bestMove)) << out;
  EXPECT_EQ(countOf(out, "info depth 4 "), 1) << out;
  EXPECT_EQ(gThreads.totalNodes(), gThreads[0].nodes.load());
}

TEST_F(ThreadPoolTest, TwoThreadSearchCompletesAndHelperSearchesEvenDepths) {
  gThreads.set(2);
  const std::string out = search(kKiwipete, {.depth = 5});
  ASSERT_EQ(countOf(out, "bestmove "), 1) << out;
  Thread& main = gThreads[0];
  Thread& helper = gThreads[1];
  EXPECT_EQ(main.completedDepth, 5);
  // Helper 1 leaves out every odd depth, including the last one (5): it ends at 4 at most.
  EXPECT_EQ(helper.completedDepth % 2, 0);
  EXPECT_LE(helper.completedDepth, 4);
  EXPECT_EQ(gThreads.totalNodes(), main.nodes.load() + helper.nodes.load());
  EXPECT_EQ(gThreads.totalSeldepth(), std::max(main.seldepth.load(), helper.seldepth.load()));

  // The main thread completed the deeper iteration, so its move is the one played.
  EXPECT_EQ(&gThreads.bestThread(), &main);
  EXPECT_EQ(lastBestmove(out), moveToString(main.bestMove));
  EXPECT_TRUE(isLegalMoveText(kKiwipete, lastBestmove(out))) << out;
}

// Helper id skips depth d when (d + phase) / size is odd, with (size, phase) the id's entry of this
// schedule, which wraps after 20 helpers; the main thread skips nothing.
TEST_F(ThreadPoolTest, HelpersSkipDepthsOnTheirSchedule) {
  const int size[20] = {1, 1, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 4, 4, 4, 4};
  const int phase[20] = {0, 1, 0, 1, 2, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 1, 2, 3};
  gThreads.set(22);
  for (int d = 1; d <= 128; ++d) {
    EXPECT_FALSE(gThreads[0].skipsDepth(d)) << d;
    bool covered = false;  // with many helpers every depth is searched by some helper
    for (int id = 1; id < 22; ++id) {
      const int i = (id - 1) % 20;
      EXPECT_EQ(gThreads[id].skipsDepth(d), (d + phase[i]) / size[i] % 2 == 1) << id << " " << d;
      covered = covered || !gThreads[id].skipsDepth(d);
    }
    EXPECT_TRUE(covered) << d;
  }
}

TEST_F(ThreadPoolTest, BestThreadRule) {
  gThreads.set(4);
  auto setResult = [](int id, int depth, u32 move, int score) {
    gThreads[id].completedDepth = depth;
    gThreads[id].bestMove = move;
    gThreads[id].bestScore = score;
  };
  auto reset = [&] {
    for (int id = 0; id < 4; ++id) setResult(id, 0, 0, 0);
  };
  const u32 a = encodeMove(12, 28, kFlagDoublePush), b = encodeMove(6, 21, kFlagQuiet),
            c = encodeMove(1, 18, kFlagQuiet), d = encodeMove(11, 27, kFlagDoublePush);

  reset();
  EXPECT_EQ(gThreads.bestThread().id, 0);  // nothing anywhere: the main thread

  reset();
  setResult(0, 5, a, 10);
  setResult(1, 9, 0, 500);  // deeper but without a move: never chosen
  setResult(2, 5, b, 10);   // tie: the main thread stays
  EXPECT_EQ(gThreads.bestThread().id, 0);
  setResult(3, 5, c, 11);  // same depth, higher score
  EXPECT_EQ(gThreads.bestThread().id, 3);

  reset();
  setResult(0, 6, a, 300);
  setResult(2, 7, b, -200);  // deeper wins even with a worse score
  setResult(3, 7, c, -300);
  EXPECT_EQ(gThreads.bestThread().id, 2);

  reset();
  setResult(0, 0, 0, 0);  // main thread without a move
  setResult(2, 3, b, -50);
  setResult(3, 3, c, -50);  // tie among helpers: the earlier helper stays
  EXPECT_EQ(gThreads.bestThread().id, 2);

  reset();
  setResult(1, 4, d, 20);
  setResult(2, 4, b, 25);
  setResult(3, 2, c, 900);
  EXPECT_EQ(gThreads.bestThread().id, 2);

  reset();
  setResult(0, 2, 0, 0);  // no helper qualifies: main even with move 0
  EXPECT_EQ(gThreads.bestThread().id, 0);
}

TEST_F(ThreadPoolTest, SearchStateIsZeroAtEverySearchStart) {
  gThreads.set(2);
  search(kKiwipete, {.depth = 4});
  for (int id = 0; id < 2; ++id) {
    Thread& t = gThreads[id];
    t.history[0][1][2] = 77;
    t.history[1][63][0] = -5;
    t.pawnCorrection[1][16383] = 9;
    t.nonPawnCorrection[0][1][5] = -3;
    t.rootBestMove = 123;
    t.rootBestScore = 45;
  }
  // Depth 0: nothing is searched, so every field shows what startThinking left.
  const std::string out = search(kKiwipete, {.depth = 0});
  EXPECT_EQ(lastBestmove(out), "0000") << out;
  for (int id = 0; id < 2; ++id) {
    const Thread& t = gThreads[id];
    EXPECT_EQ(t.limits.depth, 0);
    EXPECT_EQ(t.board.key, boardFrom(kKiwipete)->key);
    EXPECT_EQ(t.nodes.load(), 0u);
    EXPECT_EQ(t.qnodes.load(), 0u);
    EXPECT_EQ(t.seldepth.load(), 0);
    EXPECT_EQ(t.completedDepth, 0);
    EXPECT_EQ(t.bestMove, 0u);
    EXPECT_EQ(t.bestScore, 0);
    EXPECT_EQ(t.rootBestMove, 0u);
    EXPECT_EQ(t.rootBestScore, 0);
    for (const auto& side : t.history)
      for (const auto& from : side)
        for (const i32 h : from) ASSERT_EQ(h, 0);
    for (const auto& side : t.pawnCorrection)
      for (const i16 v : side) ASSERT_EQ(v, 0);
    for (const auto& side : t.nonPawnCorrection)
      for (const auto& colour : side)
        for (const i16 v : colour) ASSERT_EQ(v, 0);
  }
}

TEST_F(ThreadPoolTest, StartThinkingAdvancesTheTableGeneration) {
  gThreads.set(1);
  const u8 before = gTT.currentGeneration();
  search(kStartFen, {.depth = 1});
  EXPECT_EQ(gTT.currentGeneration(), static_cast<u8>(before + 1));
}

TEST_F(ThreadPoolTest, InfiniteSearchPrintsBestmoveOnlyAfterStop) {
  gThreads.set(2);
  auto b = boardFrom(kStalemate);
  const SearchLimits l{.infinite = true};
  StreamCapture capture;
  gThreads.startThinking(*b, l);
  // The stalemated root ends iterative deepening at once; the main thread must still wait.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(gThreads[0].isSearching());
  EXPECT_EQ(capture.text().find("bestmove"), std::string::npos) << capture.text();
  gStopSearch.store(true);
  gThreads.waitForSearchFinished();
  const std::string out = capture.text();
  EXPECT_NE(out.find("info depth 0 score cp 0\n"), std::string::npos) << out;
  EXPECT_EQ(lastBestmove(out), "0000") << out;
  EXPECT_EQ(countOf(out, "bestmove "), 1) << out;
}

TEST_F(ThreadPoolTest, InfiniteSearchOnRealPositionStopsOnRequest) {
  gThreads.set(2);
  auto b = boardFrom(kKiwipete);
  const SearchLimits l{.infinite = true};
  StreamCapture capture;
  gThreads.startThinking(*b, l);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(gThreads[0].isSearching());
  gStopSearch.store(true);
  gThreads.waitForSearchFinished();
  EXPECT_FALSE(gThreads[1].isSearching());
  // The helper took part, and finished only even depths.
  EXPECT_GT(gThreads[1].nodes.load(), 0u);
  EXPECT_EQ(gThreads[1].completedDepth % 2, 0);
  const std::string out = capture.text();
  EXPECT_EQ(countOf(out, "bestmove "), 1) << out;
  EXPECT_TRUE(isLegalMoveText(kKiwipete, lastBestmove(out))) << out;
}

TEST_F(ThreadPoolTest, MovetimeSearchEndsByItself) {
  gThreads.set(2);
  const SearchLimits l{.movetime = 150};
  const auto start = std::chrono::steady_clock::now();
  const std::string out = search(kKiwipete, l);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  EXPECT_GE(ms, 100);
  EXPECT_LT(ms, 20000);  // generous: sanitizer builds are slow, but the search must end by itself
  EXPECT_TRUE(isLegalMoveText(kKiwipete, lastBestmove(out))) << out;
}

TEST_F(ThreadPoolTest, StartAndStopManyTimesNeverHangs) {
  auto start = boardFrom(kStartFen);
  auto kiwi = boardFrom(kKiwipete);
  auto stale = boardFrom(kStalemate);
  const Board* boards[3] = {start.get(), kiwi.get(), stale.get()};
  int searches = 0;
  StreamCapture capture;
  for (unsigned long n : {1ul, 2ul, 3ul}) {
    gThreads.set(n);
    for (int i = 0; i < 60; ++i) {
      SearchLimits l;
      switch (i % 4) {
        case 0:
          l.infinite = true;
          break;
        case 1:
          l.depth = 1 + i % 7;
          break;
        case 2:
          l.movetime = 1 + i % 3;
          break;
        default:
          l.nodes = 1 + 97 * i;
          break;
      }
      gThreads.startThinking(*boards[i % 3], l);
      ++searches;
      if (i % 5 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
      // Alternate between stopping at once, and letting a finite search run out by itself (the
      // next startThinking then waits for it).
      if (l.infinite || i % 2 == 0) {
        gStopSearch.store(true);
        gThreads.waitForSearchFinished();
      }
    }
    gStopSearch.store(true);
    gThreads.waitForSearchFinished();
  }
  EXPECT_EQ(countOf(capture.text(), "bestmove "), searches);
}

}  // namespace
