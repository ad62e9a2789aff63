// Alpha-beta search with its pruning, reduction and extension rules, and the quiescence search.
#include "search/search.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "eval/eval.h"
#include "movegen/movegen.h"
#include "movegen/see.h"
#include "search/constants.h"
#include "search/movepicker.h"
#include "search/thread.h"
#include "timeman/timeman.h"
#include "tt/tt.h"

int kLMR[64][64];
std::atomic<i64> gLastInfoMs{0};

namespace {

constexpr int kQuietCapacity = 64;

// Counters have a single writer, so a relaxed load and store does the work of a locked add.
inline u64 bump(std::atomic<u64>& counter) {
  const u64 n = counter.load(std::memory_order_relaxed) + 1;
  counter.store(n, std::memory_order_relaxed);
  return n;
}

// The first entry of a key's pair; both lie in one cache line.
inline EvalCacheEntry* evalCachePair(Thread& t, u64 key) { return &t.evalCache[key & (kEvalCacheSize - 2)]; }

// Handed to makeMove, which calls it with the child's key before it moves the pieces: the
// child's TT bucket and evaluation-cache entry start loading there.
struct PrefetchChild {
  Thread& t;
  void operator()(u64 key) const {
    t.tt->prefetch(key);
    __builtin_prefetch(evalCachePair(t, key));
  }
};

// evaluate(b), through the thread's cache of earlier results.
inline int cachedEvaluate(Thread& t, const Board& b) {
  EvalCacheEntry* e = evalCachePair(t, b.key);
  if (e[0].key == b.key && e[0].clock == b.halfmoveClock) return e[0].eval;
  if (e[1].key == b.key && e[1].clock == b.halfmoveClock) return e[1].eval;
  const int v = evaluate(b);
  e[1] = e[0];  // the older entry of the pair gives way
  e[0] = {b.key, b.halfmoveClock, v};
  return v;
}

// Quick test used before trusting reverse futility: a piece of the side to move attacked by a
// cheaper enemy piece would make the static evaluation an overestimate.
bool hasHangingPiece(const Board& b) {
  const Color us = b.side;
  const Color them = us ^ 1;
  const u64* own = b.pieces[us];
  const u64* enemy = b.pieces[them];
  if (pawnAttacksOf(them, enemy[Pawn]) & (own[Knight] | own[Bishop] | own[Rook] | own[Queen])) return true;
  for (u64 rq = own[Rook] | own[Queen]; rq;) {
    const Square s = popLsb(rq);
    if ((Attacks::knightAttacks[s] & enemy[Knight]) || (bishopAttacks(s, b.occupied) & enemy[Bishop]))
      return true;
  }
  for (u64 q = own[Queen]; q;) {
    const Square s = popLsb(q);
    if (rookAttacks(s, b.occupied) & enemy[Rook]) return true;
  }
  return false;
}

// In check with no legal move.
bool isCheckmate(Board& b) {
  if (!b.inCheck()) return false;
  MoveList list;
  generateMoves(b, list);
  for (const Move m : list)
    if (b.isLegal(m)) return false;
  return true;
}

// The three correction-history entries of a position, all indexed by the side to move.
struct CorrectionSlots {
  i16* pawn;
  i16* white;
  i16* black;
};

inline CorrectionSlots correctionSlots(Thread& t, const Board& b) {
  const Color stm = b.side;
  return {&t.pawnCorrection[stm][b.pawnKey & 16383], &t.nonPawnCorrection[stm][0][nonPawnKey(b, White)],
          &t.nonPawnCorrection[stm][1][nonPawnKey(b, Black)]};
}

// The slots are scattered over 192 KB of tables; their loads start before the evaluation needs them.
inline void prefetchSlots(const CorrectionSlots& c) {
  __builtin_prefetch(c.pawn);
  __builtin_prefetch(c.white);
  __builtin_prefetch(c.black);
}

// A corrected static evaluation is never mistaken for a mate score.
static_assert(kEvalLimit + (4 * 32767) / 64 <= kMaxNonMate);

inline int correctedEval(const CorrectionSlots& c, int raw) {
  const int corr = 2 * *c.pawn + *c.white + *c.black;
  return raw + corr / 64;
}

void updateCorrection(const CorrectionSlots& c, int score, int staticEval, int depth) {
  const int bonus = std::clamp((score - staticEval) * depth / 8, -256, 256);
  const int mag = std::abs(bonus);
  for (i16* e : {c.pawn, c.white, c.black}) *e = static_cast<i16>(*e + bonus - *e * mag / 1024);
}

// Gravity update: the bonus shrinks as the entry approaches +-kHistoryMax.
inline void historyBonus(i32& h, int bonus) { h += bonus - h * bonus / kHistoryMax; }
inline void historyMalus(i32& h, int bonus) { h = h - bonus - h * bonus / kHistoryMax; }

void printPeriodicInfo(const Thread& t) {
  const i64 elapsed = gTime.elapsed();
  if (elapsed - gLastInfoMs.load(std::memory_order_relaxed) < 300) return;
  gLastInfoMs.store(elapsed, std::memory_order_relaxed);
  const u64 total = gThreads.totalNodes();
  const u64 nps = elapsed < 1 ? 0 : total * 1000 / static_cast<u64>(elapsed);
  char line[160];
  std::snprintf(line, sizeof line, "info depth %d seldepth %d nodes %llu nps %llu time %lld\n", t.currentDepth,
                gThreads.totalSeldepth(), static_cast<unsigned long long>(total),
                static_cast<unsigned long long>(nps), static_cast<long long>(elapsed));
  std::cout << line << std::flush;
}

}  // namespace

namespace Search {

void init() {
  for (int d = 0; d < 64; ++d)
    for (int m = 0; m < 64; ++m)
      kLMR[d][m] = (d == 0 || m == 0) ? 0 : static_cast<int>(std::log(d) * std::log(m) / 2.25 + 0.75);
}

}  // namespace Search

void initEngineTables() {
  static const bool done = [] {
    initEvalTables();
    Search::init();
    return true;
  }();
  (void)done;
}

u32 nonPawnKey(const Board& b, Color c) {
  const u64* p = b.pieces[c];
  const u64 h = (p[Knight] * 0x9E3779B97F4A7C15ULL) ^ (p[Bishop] * 0xC2B2AE3D27D4EB4FULL) ^
                (p[Rook] * 0x165667B19E3779F9ULL) ^ (p[Queen] * 0xD6E8FEB86659FD93ULL) ^
                (p[King] * 0xFF51AFD7ED558CCDULL);
  return static_cast<u32>(h >> 50);
}

namespace {

// A node of depth 0 as alphaBeta begins it (the same checks and mate-distance bounds), then
// quiesce. Children of depth 0 come here directly: they are most of the calls, and alphaBeta's
// entry, with its large frame, did nothing else for them.
int quiesceNode(Thread& t, Board& b, int alpha, int beta, int ply) {
  if (stopped()) return 0;
  if (ply >= kMaxPly) return evaluate(b);
  alpha = std::max(alpha, ply - kMateScore);
  beta = std::min(beta, kMateScore - ply);
  if (alpha >= beta) return alpha;
  return quiesce(t, b, alpha, beta, ply, 0);
}

inline int searchChild(Thread& t, Board& b, int alpha, int beta, int depth, SearchStack* ss, bool cutNode) {
  return depth < 1 ? quiesceNode(t, b, alpha, beta, ss->ply) : alphaBeta(t, b, alpha, beta, depth, ss, cutNode);
}

}  // namespace

int alphaBeta(Thread& t, Board& b, int alpha, int beta, int depth, SearchStack* ss, bool cutNode) {
  if (depth < 1) return quiesceNode(t, b, alpha, beta, ss->ply);
  if (stopped()) return 0;
  const int ply = ss->ply;
  if (ply >= kMaxPly) return evaluate(b);
  const bool pvNode = beta - alpha > 1;

  alpha = std::max(alpha, ply - kMateScore);
  beta = std::min(beta, kMateScore - ply);
  if (alpha >= beta) return alpha;

  const u64 n = bump(t.nodes);
  if (t.id == 0) {
    const SearchLimits& lim = t.limits;
    if ((lim.nodes >= 1 && n >= static_cast<u64>(lim.nodes)) || gTime.shouldStop(n)) {
      gStopSearch.store(true, std::memory_order_relaxed);
      return 0;
    }
    if (n % 2048 == 0 && (lim.movetime >= 1 || lim.wtime >= 1 || lim.btime >= 1)) printPeriodicInfo(t);
  }

  // Draws by rule; the root is searched even when it already repeats.
  if (ply > 0) {
    // A mate given on the move that completes the fifty moves stands; only then is it worth
    // looking for legal moves.
    if (b.halfmoveClock > 99) return isCheckmate(b) ? ply - kMateScore : 0;
    const int len = b.historySize;
    for (int i = len - 2; i >= 0 && i >= len - b.halfmoveClock; i -= 2)
      if (b.history[i].key == b.key) return 0;
  }

  // The static evaluation is taken before the TT probe although it is only needed after it: the
  // probe's cache line (prefetched by the parent) is usually still on its way from memory, and
  // evaluating meanwhile hides most of that wait. Results are the same, a cutoff just wastes it.
  const Color us = b.side;
  const Color them = us ^ 1;
  const bool inCheck = b.isAttacked(b.kingSquare(us), them);
  CorrectionSlots corr{};
  if (!inCheck) {
    corr = correctionSlots(t, b);
    prefetchSlots(corr);
  }
  const int rawEval = inCheck ? 0 : cachedEvaluate(t, b);

  const Move excluded = ss->excludedMove;
  TTData tte{};
  const bool ttHit = t.tt->probe(b.key, tte);
  const Move ttMove = ttHit ? tte.move : 0;
  const int ttScore = ttHit ? TranspositionTable::scoreFromTT(tte.score, ply) : 0;
  if (ttHit && !excluded && !pvNode && tte.depth >= depth) {
    if (tte.flag == Exact || (tte.flag == Lower && ttScore >= beta) || (tte.flag == Upper && ttScore <= alpha))
      return ttScore;
  }

  int staticEval = 0;

  if (!inCheck) {
    staticEval = correctedEval(corr, rawEval);

    // Reverse futility pruning.
    if (!pvNode && depth <= kRfpMaxDepth && std::abs(beta) <= kMaxNonMate && !excluded &&
        staticEval - kRfpMargin * depth >= beta) {
      if (staticEval - kRfpMargin * (depth + 1) >= beta || !hasHangingPiece(b)) return staticEval;
    }

    // Null move: no comparison of the static evaluation with beta, no verification.
    if (depth >= kNullMinDepth && !pvNode && !excluded && b.historySize > 0 &&
        (b.pieces[us][Knight] | b.pieces[us][Bishop] | b.pieces[us][Rook] | b.pieces[us][Queen])) {
      SearchStack child{ply + 1, 0, 0};
      b.makeNullMove();
      PrefetchChild{t}(b.key);
      const int r = kNullReduction + (depth >= kNullDeepFrom ? 1 : 0);
      const int score = -searchChild(t, b, -beta, -beta + 1, depth - r, &child, !cutNode);
      b.unmakeNullMove();
      if (score >= beta) return beta;
    }
  }

  // Internal iterative reduction: without a TT move this node is probably not worth full depth.
  if (depth > 3 && ttMove == 0 && !excluded && !inCheck) --depth;

  int bestScore = -kInfinite;
  Move bestMove = 0;
  TTFlag bound = Upper;
  int count = 0;
  Move quiets[kQuietCapacity];
  int quietCount = 0;
  const int bonus = depth * depth;
  const int lmpLimit = depth * depth + kLmpBase;
  bool tailDropped = false;
  auto& hist = t.history[us];

  MovePicker picker(t, b, ttMove);
  SearchStack child{ply + 1, 0, 0};

  while (const Move m = picker.next()) {
    if (m == excluded) continue;

    int ext = 0;
    bool lmpCase = false;
    if (m == ttMove && ply > 0 && ttHit && !excluded && depth >= kSingularMinDepth) {
      // Singular extension: is the TT move much better than every alternative?
      if (tte.depth >= depth - kSingularDepthGap && tte.flag != Upper && std::abs(ttScore) <= kMaxNonMate) {
        const int singularBeta = ttScore - kSingularMargin * depth;
        ss->excludedMove = m;
        const int s = alphaBeta(t, b, singularBeta - 1, singularBeta, (depth - 1) / 2, ss, cutNode);
        ss->excludedMove = 0;
        if (s < singularBeta) {
          ext = 1;
        } else {
          ext = cutNode ? -1 : 0;
          if (!pvNode && s >= beta && std::abs(s) <= kMaxNonMate) return s;  // multi-cut
        }
      }
    } else if (!pvNode && !inCheck && depth <= kLmpMaxDepth) {
      lmpCase = true;
      if (!isCastling(m) && isQuietMove(m) && count >= lmpLimit && !b.quietGivesCheck(m)) continue;
    }
    // Past the limit only checking quiets survive; castling is verified after it is made.
    const bool mustCheck = lmpCase && isQuietMove(m) && count >= lmpLimit;

    b.makeMove(m, PrefetchChild{t});
    if (b.isAttacked(b.kingSquare(us), them)) {
      b.unmakeMove(m);
      continue;
    }
    const bool givesCheck = b.isAttacked(b.kingSquare(them), us);
    if (mustCheck && !givesCheck) {
      b.unmakeMove(m);
      continue;
    }

    const bool quiet = isQuietMove(m);
    if (quiet && quietCount < kQuietCapacity) quiets[quietCount++] = m;

    const int newDepth = depth - 1 + ((ext > 0 || givesCheck) ? 1 : ext);
    child.currentMove = m;
    int score = 0;
    bool fullSearch = true;

    if (!inCheck && quiet && ext == 0 && !givesCheck && count > 2 && newDepth >= 2) {
      int r = kLMR[std::min(newDepth, 63)][std::min(count + 1, 63)] - (pvNode ? 1 : 0) -
              hist[moveFrom(m)][moveTo(m)] / kLmrHistoryDivisor;
      if (pvNode && count < 5) r = 0;
      if (r >= 1) {
        score = -alphaBeta(t, b, -alpha - 1, -alpha, newDepth - std::min(newDepth - 1, r), &child, true);
        if (score <= alpha) fullSearch = false;
      }
    }

    if (fullSearch) {
      if (pvNode && count == 0) {
        score = -searchChild(t, b, -beta, -alpha, newDepth, &child, false);
      } else {
        score = -searchChild(t, b, -alpha - 1, -alpha, newDepth, &child, !cutNode);
        if (pvNode && score > alpha && score < beta)
          score = -searchChild(t, b, -beta, -alpha, newDepth, &child, false);
      }
    }

    b.unmakeMove(m);

    if (lmpCase && !tailDropped && count + 1 == lmpLimit) {
      tailDropped = true;
      picker.dropLmpQuiets();
    }

    if (stopped()) return 0;

    if (score > bestScore) {
      bestScore = score;
      bestMove = m;
      if (ply == 0) {
        t.rootBestMove = m;
        t.rootBestScore = score;
      }
    }

    if (score > alpha) {
      if (score >= beta) {
        if (!isCapture(m)) historyBonus(hist[moveFrom(m)][moveTo(m)], bonus);
        for (int i = 0; i < quietCount; ++i)
          if (quiets[i] != m) historyMalus(hist[moveFrom(quiets[i])][moveTo(quiets[i])], bonus);
        if (!excluded && !inCheck && isQuietMove(m) && score <= kMaxNonMate && score > staticEval)
          updateCorrection(corr, score, staticEval, depth);
        if (excluded) return score;
        t.tt->store(b.key, m, score, depth, Lower, ply);
        return score;
      }
      alpha = score;
      bound = Exact;
    }
    ++count;
  }

  if (count == 0) return inCheck ? ply - kMateScore : 0;

  // A quiet move of the opponent that left us no way to raise alpha was a good move for them.
  const Move prev = ss->currentMove;
  if (bound == Upper && !excluded && prev && isQuietMove(prev))
    historyBonus(t.history[them][moveFrom(prev)][moveTo(prev)], bonus);

  if (!excluded && !inCheck && isQuietMove(bestMove) && std::abs(bestScore) <= kMaxNonMate &&
      (bound == Exact || bestScore < staticEval))
    updateCorrection(corr, bestScore, staticEval, depth);

  if (!excluded) t.tt->store(b.key, bestMove, bestScore, depth, bound, ply);
  return bestScore;
}

int quiesce(Thread& t, Board& b, int alpha, int beta, int ply, int qply) {
  if (stopped()) return 0;
  if (ply >= kMaxPly) return evaluate(b);

  bump(t.nodes);
  bump(t.qnodes);
  if (ply > t.seldepth.load(std::memory_order_relaxed)) t.seldepth.store(ply, std::memory_order_relaxed);

  // Evaluated before the probe for the same reason as in alphaBeta.
  const CorrectionSlots corr = correctionSlots(t, b);
  prefetchSlots(corr);
  const int rawEval = cachedEvaluate(t, b);
  TTData tte;
  const bool ttHit = t.tt->probe(b.key, tte);
  const Move ttMove = ttHit ? tte.move : 0;
  // Every stored entry is at least as deep as a quiescence node (-1).
  if (ttHit && beta - alpha == 1 && tte.depth >= -1) {
    const int ttScore = TranspositionTable::scoreFromTT(tte.score, ply);
    if (tte.flag == Exact || (tte.flag == Lower && ttScore >= beta) || (tte.flag == Upper && ttScore <= alpha))
      return ttScore;
  }

  const int staticEval = correctedEval(corr, rawEval);
  if (staticEval >= beta) {
    if (!stopped()) t.tt->store(b.key, 0, staticEval, -1, Lower, ply);
    return beta;
  }

  int best = std::max(staticEval, alpha);
  Move bestMove = 0;
  const Color us = b.side;
  const Color them = us ^ 1;
  const bool inCheck = b.isAttacked(b.kingSquare(us), them);

  MoveList list;
  generateCaptures(b, list);
  i32 scores[256];
  for (int i = 0; i < list.size; ++i) {
    const Move m = list.moves[i];
    i32 s;
    if (m == ttMove)
      s = kTTMoveScore;
    else if (isCapture(m))
      s = mvvLva(b, m) + kCaptureBias + (isPromotion(m) ? kPromotionBonus : 0);
    else
      s = kQuietPromotionScore;
    insertByScore(list.moves, scores, i, m, s);  // equal scores keep generation order
  }

  for (int i = 0; i < list.size; ++i) {
    const Move m = list.moves[i];
    if (!inCheck && !isPromotion(m)) {
      const int victimValue = moveFlag(m) == kFlagEnPassant ? SEE::kValue[Pawn] : SEE::kValue[b.mailbox[moveTo(m)]];
      if (staticEval + kDeltaMargin + victimValue < best) continue;
      if (!seeGE(b, m, 0)) continue;
    }
    b.makeMove(m, PrefetchChild{t});
    if (b.isAttacked(b.kingSquare(us), them)) {
      b.unmakeMove(m);
      continue;
    }
    const int score = -quiesce(t, b, -beta, -best, ply + 1, qply + 1);
    b.unmakeMove(m);
    if (score >= beta) {
      if (!stopped()) t.tt->store(b.key, m, score, -1, Lower, ply);
      return beta;
    }
    if (score > best) {
      best = score;
      bestMove = m;
    }
  }

  if (stopped()) return best;
  t.tt->store(b.key, bestMove, best, -1, Upper, ply);
  return best;
}
