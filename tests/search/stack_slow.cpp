// How much stack a search thread uses: run searches on a thread whose stack is painted with a
// pattern, then find the deepest byte that was overwritten. Linux only (explicit pthread stacks).
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "search_env.h"

#if defined(__linux__)
#include <pthread.h>
#include "support/positions.h"
#endif

namespace {

#if defined(__linux__)

constexpr std::size_t kStackBytes = std::size_t{16} << 20;
constexpr unsigned char kPaint = 0xA5;

struct Job {
  Thread* thread;
};

void* runSearch(void* arg) {
  iterativeDeepening(*static_cast<Job*>(arg)->thread);
  return nullptr;
}

// Bytes of the painted stack that the search touched (stacks grow downwards on x86-64/arm64).
std::size_t measure(Thread& t) {
  std::vector<unsigned char> stack(kStackBytes, kPaint);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstack(&attr, stack.data(), stack.size());
  Job job{&t};
  pthread_t th;
  EXPECT_EQ(pthread_create(&th, &attr, runSearch, &job), 0);
  pthread_join(th, nullptr);
  pthread_attr_destroy(&attr);
  std::size_t untouched = 0;
  while (untouched < stack.size() && stack[untouched] == kPaint) ++untouched;
  return stack.size() - untouched;
}

TEST(SearchStack, UseStaysFarBelowTheDefaultThreadStack) {
  gStopSearch.store(false);

  const char* fens[] = {
      kKiwipete,
      "r1bq1rk1/pp2bppp/2n1pn2/2pp4/3P4/2PBPN2/PP1N1PPP/R2QK2R w KQ - 0 8",
      "8/k7/3p4/p2P1p2/P2P1P2/8/8/K7 w - - 0 1",
      "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
  };
  auto t = std::make_unique<Thread>(0);
  // As the main thread the search would poll the pool's clock and print; id 0 with no time limit
  // and the default pool is harmless, but a helper id keeps the output quiet.
  t->id = 2;  // searches odd depths
  // Depth 0 searches nothing: what it touches is the thread's own start-up and its static TLS
  // (glibc places that at the top of a caller-supplied stack; the pawn hash is thread-local).
  ASSERT_TRUE(t->board.setFen(fens[0]));
  t->limits.depth = 0;
  const std::size_t baseline = measure(*t);
  std::printf("stack: %zu KB before any search (TLS and start-up)\n", baseline >> 10);

  std::size_t worst = 0;
  int deepest = 0;
  for (const char* fen : fens) {
    gTT.clear();
    ASSERT_TRUE(t->board.setFen(fen));
    t->limits = SearchLimits{};
    t->limits.depth = 13;
    t->clearForSearch();
    const std::size_t used = measure(*t);
    std::printf("stack: %zu KB at seldepth %d, %llu nodes (%s)\n", used >> 10, t->seldepth.load(),
                static_cast<unsigned long long>(t->nodes.load()), fen);
    worst = std::max(worst, used);
    deepest = std::max(deepest, t->seldepth.load());
  }
  const std::size_t perPly = (worst - baseline) / static_cast<std::size_t>(std::max(deepest, 1));
  // Plies are capped at 128 and a singular-extension search adds at most one frame per ply.
  std::printf("stack: worst %zu KB, about %zu bytes per ply, 256 plies ~ %zu KB\n", worst >> 10,
              perPly, (baseline + perPly * 256) >> 10);
  EXPECT_LT(worst, std::size_t{2} << 20);
  EXPECT_LT(baseline + perPly * 256, std::size_t{8} << 20);  // fits the usual 8 MB thread stack
}

#else

TEST(SearchStack, UseStaysFarBelowTheDefaultThreadStack) { GTEST_SKIP() << "Linux only"; }

#endif

}  // namespace
