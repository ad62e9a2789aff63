// Fixed search benchmark (the engine's behavioural signature) and the fixed-budget search of datagen.
#include <algorithm>
#include <chrono>
#include <iostream>
#include <memory>
#include <string>

#include "search/search.h"
#include "search/thread.h"
#include "tt/tt.h"

const char* const kBenchPositions[10] = {
    kStartFen,
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 0 1",
    "rnbq1rk1/pp2ppbp/3p1np1/2p5/2PP4/2N1PN2/PP2BPPP/R1BQK2R w KQ - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "2rq1rk1/pp1bppbp/2np1np1/8/3NP3/1BN1BP2/PPPQ2PP/2KR3R w - - 0 1",
    "4rrk1/pp1n1ppp/2p5/3p4/3P4/2P2N2/PP3PPP/R3R1K1 w - - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/pp3k2/2p2p2/3p4/3P4/2P2P2/PP3K2/8 w - - 0 1",
    "8/8/3k4/2p5/2P5/3K4/8/8 w - - 0 1",
};

namespace {

// One completed iteration, recorded as iterative deepening would.
int searchIteration(Thread& t, int depth, int previous) {
  t.currentDepth = depth;
  SearchStack root{0, 0, 0};
  const int score = aspirationSearch(t, t.board, depth, previous, &root);
  t.bestMove = t.rootBestMove;
  t.bestScore = score;
  t.completedDepth = depth;
  return score;
}

}  // namespace

bool runBenchSearch(int depth) {
  using Clock = std::chrono::steady_clock;
  // Id 1 keeps the main-thread limit poll and its output out of the benchmark.
  auto thread = tryCreateThread(1);
  if (!thread) return false;
  gStopSearch.store(false, std::memory_order_relaxed);
  Thread& t = *thread;
  const int maxDepth = depth < 1 ? 11 : depth;
  gTT.prefault();  // page faults are no part of the search speed this reports

  u64 totalNodes = 0;
  u64 totalQNodes = 0;
  i64 totalMs = 0;
  for (int i = 0; i < 10; ++i) {
    gTT.clear();
    t.board.setFen(kBenchPositions[i]);
    t.clearForSearch();
    const auto start = Clock::now();
    int score = 0;
    for (int d = 1; d <= maxDepth; ++d) score = searchIteration(t, d, score);
    const i64 ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    const u64 nodes = t.nodes.load(std::memory_order_relaxed);
    const u64 qnodes = t.qnodes.load(std::memory_order_relaxed);
    const u64 nps = ms == 0 ? 0 : nodes * 1000 / static_cast<u64>(ms);
    std::cout << "pos " << (i + 1) << " depth " << maxDepth << " bestmove " << moveToString(t.bestMove) << " score "
              << formatScore(t.bestScore) << " nodes " << nodes << " qnodes " << qnodes << " time " << ms << " nps "
              << nps << " pv " << buildPV(t.board, t.bestMove) << '\n'
              << std::flush;
    totalNodes += nodes;
    totalQNodes += qnodes;
    totalMs += ms;
  }
  const u64 totalNps = totalMs < 1 ? 0 : totalNodes * 1000 / static_cast<u64>(totalMs);
  std::cout << "bench: " << totalNodes << " nodes " << totalQNodes << " qnodes " << totalMs << " ms " << totalNps
            << " nps\n"
            << std::flush;
  return true;
}

u32 searchForDataGen(Thread& t, int maxDepth, long long nodeLimit, int& score) {
  gStopSearch.store(false, std::memory_order_relaxed);
  const u64 startNodes = t.nodes.load(std::memory_order_relaxed);
  t.rootBestMove = 0;
  t.rootBestScore = 0;
  const int lastDepth = std::min(std::max(maxDepth, 1), kMaxPly);
  int s = 0;
  for (int d = 1;; ++d) {
    s = searchIteration(t, d, s);
    if (nodeLimit >= 1 && t.nodes.load(std::memory_order_relaxed) - startNodes >= static_cast<u64>(nodeLimit)) break;
    if (d == lastDepth) break;
  }
  score = s;
  return t.bestMove;
}
