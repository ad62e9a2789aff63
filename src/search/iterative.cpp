// Iterative deepening with aspiration windows, and the score/PV text of the "info" lines.
#include <cstdlib>
#include <iostream>
#include <string>

#include "movegen/movegen.h"
#include "search/constants.h"
#include "search/search.h"
#include "search/thread.h"
#include "timeman/timeman.h"
#include "tt/tt.h"

namespace {

// First legal move in generation order, 0 when the side to move has none.
Move firstLegalMove(const Board& b) {
  MoveList list;
  generateLegalMoves(b, list);
  return list.size ? list.moves[0] : 0;
}

void printIteration(const Thread& t, int depth, int score, i64 elapsed, u64 nodes) {
  const u64 nps = elapsed < 1 ? 0 : nodes * 1000 / static_cast<u64>(elapsed);
  std::string line = "info depth " + std::to_string(depth) + " seldepth " + std::to_string(gThreads.totalSeldepth()) +
                     " score " + formatScore(score) + " nodes " + std::to_string(nodes) + " nps " +
                     std::to_string(nps) + " time " + std::to_string(elapsed);
  const std::string pv = buildPV(t.board, t.bestMove);
  if (!pv.empty()) line += " pv " + pv;
  line += '\n';
  std::cout << line << std::flush;
}

}  // namespace

void iterativeDeepening(Thread& t) {
  Board& b = t.board;
  const bool main = t.id == 0;
  const int maxDepth = (t.limits.infinite || t.limits.depth >= kMaxPly) ? kMaxPly : t.limits.depth;
  if (main) gLastInfoMs.store(0, std::memory_order_relaxed);

  const Move fallback = firstLegalMove(b);
  if (fallback == 0) {
    t.completedDepth = 0;
    t.bestMove = 0;
    t.rootBestMove = 0;
    if (main) std::cout << (b.inCheck() ? "info depth 0 score mate 0\n" : "info depth 0 score cp 0\n") << std::flush;
    return;
  }
  if (maxDepth < 1) return;

  int previous = 0;
  for (int d = 1; d <= maxDepth; ++d) {
    t.currentDepth = d;
    if (t.skipsDepth(d)) continue;  // lazy SMP: helpers spread over neighbouring depths

    SearchStack root{0, 0, 0};
    const int score = aspirationSearch(t, b, d, previous, &root);
    previous = score;
    if (stopped() && d >= 2) return;

    // A depth-1 iteration stopped before its first root move finished still has to name a move.
    t.bestMove = t.rootBestMove ? t.rootBestMove : fallback;
    t.bestScore = score;
    t.completedDepth = d;

    if (main) {
      const i64 elapsed = gTime.elapsed();
      printIteration(t, d, score, elapsed, gThreads.totalNodes());
      gLastInfoMs.store(elapsed, std::memory_order_relaxed);
      if (!gTime.startNextIteration(elapsed)) return;
    }
  }
}

int aspirationSearch(Thread& t, Board& b, int depth, int previousScore, SearchStack* ss) {
  if (depth < kAspirationMinDepth || std::abs(previousScore) >= kMateBound)
    return alphaBeta(t, b, -kInfinite, kInfinite, depth, ss, false);

  int alpha = previousScore - kAspirationWindow;
  int beta = previousScore + kAspirationWindow;
  int score = alphaBeta(t, b, alpha, beta, depth, ss, false);
  if (stopped() || (alpha < score && score < beta)) return score;

  // The failed bound is widened, clamped so that it stays inside +-kInfinite; a mate score opens
  // the full window at once.
  if (std::abs(score) >= kMateBound) {
    alpha = -kInfinite;
    beta = kInfinite;
  } else if (score <= alpha) {
    alpha = std::max(score, -kInfinite + kAspirationWindow) - kAspirationWindow;
  } else {
    beta = std::min(score, kInfinite - kAspirationWindow) + kAspirationWindow;
  }
  score = alphaBeta(t, b, alpha, beta, depth, ss, false);
  if (stopped() || (alpha < score && score < beta)) return score;

  if (std::abs(score) >= kMateBound) {
    alpha = -kInfinite;
    beta = kInfinite;
  } else if (score <= alpha) {
    beta = (alpha + beta) / 2;
    alpha = std::max(score, -kInfinite + kAspirationWiden) - kAspirationWiden;
  } else {
    beta = std::min(score, kInfinite - kAspirationWiden) + kAspirationWiden;
  }
  score = alphaBeta(t, b, alpha, beta, depth, ss, false);

  while (!stopped() && (score <= alpha || score >= beta)) {
    alpha = -kInfinite;
    beta = kInfinite;
    score = alphaBeta(t, b, alpha, beta, depth, ss, false);
  }
  return score;
}

std::string formatScore(int score) {
  if (std::abs(score) >= kMateBound) return "mate " + std::to_string(mateInMoves(score));
  return "cp " + std::to_string(score);
}

std::string buildPV(Board board, unsigned int firstMove) {
  std::string pv;
  u64 seen[kMaxPly];
  Move m = firstMove;
  for (int i = 0; i < kMaxPly; ++i) {
    // A TT move may come from a key collision: screen it before isLegal makes it.
    if (m == 0 || !board.isPseudoLegal(m) || !board.isLegal(m)) break;
    if (i > 0) pv += ' ';
    pv += moveToString(m);
    board.makeMove(m);
    for (int j = 0; j < i; ++j)
      if (seen[j] == board.key) return pv;
    seen[i] = board.key;
    TTData tte;
    if (!gTT.probe(board.key, tte)) break;
    m = tte.move;
  }
  return pv;
}
