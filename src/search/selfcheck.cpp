// Self-check of the move picker against a plain stable sort of all pseudo-legal moves.
#include <iostream>
#include <memory>
#include <random>
#include <string>

#include "movegen/movegen.h"
#include "movegen/see.h"
#include "search/movepicker.h"
#include "search/search.h"
#include "search/thread.h"

namespace {

struct Sequence {
  Move moves[256];
  int size = 0;
};

// Score of one move in the reference order; the TT move is forced to the front.
i32 referenceScore(const Thread& t, const Board& b, Move m, Move ttMove) {
  if (m == ttMove) return kTTMoveScore;
  if (isCapture(m)) {
    const i32 v = mvvLva(b, m);
    if (isPromotion(m)) return v + kCaptureBias + kPromotionBonus;
    const Piece victim = moveFlag(m) == kFlagEnPassant ? Pawn : b.mailbox[moveTo(m)];
    const bool wins = SEE::kValue[b.mailbox[moveFrom(m)]] <= SEE::kValue[victim] || seeGE(b, m, 0);
    return wins ? v + kCaptureBias : v - kCaptureBias;
  }
  if (isPromotion(m)) return kQuietPromotionScore;
  const i32 h = t.history[b.side][moveFrom(m)][moveTo(m)];
  return h < kQuietHistoryCap ? h : kQuietHistoryCap;
}

void referenceOrder(const Thread& t, const Board& b, Move ttMove, Sequence& out) {
  MoveList list;
  generateMoves(b, list);
  i32 scores[256];
  out.size = 0;
  for (const Move m : list) insertByScore(out.moves, scores, out.size++, m, referenceScore(t, b, m, ttMove));
}

bool sameSequence(const Sequence& a, const Sequence& b) {
  if (a.size != b.size) return false;
  for (int i = 0; i < a.size; ++i)
    if (a.moves[i] != b.moves[i]) return false;
  return true;
}

void printMoves(const Sequence& s) {
  for (int i = 0; i < s.size; ++i) std::cout << ' ' << moveToString(s.moves[i]);
}

int firstDifference(const Sequence& a, const Sequence& b) {
  int i = 0;
  while (i < a.size && i < b.size && a.moves[i] == b.moves[i]) ++i;
  return i;
}

}  // namespace

bool runMovePickerOrderTest() {
  static const char* const kFens[8] = {
      kStartFen,
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
      "8/PPPk4/8/8/8/8/4Kppp/8 w - - 0 1",
      "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
      "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
  };

  std::mt19937_64 rng(20260901);
  auto thread = std::make_unique<Thread>(0);
  Thread& t = *thread;
  Board& b = t.board;

  long orderRuns = 0, orderMismatches = 0, validTT = 0;
  long lmpRuns = 0, lmpMismatches = 0;
  Sequence reference, got, expected;

  for (const char* fen : kFens) {
    for (int trial = 0; trial < 64; ++trial) {
      if (!b.setFen(fen)) {
        ++orderMismatches;
        continue;
      }
      // Both signs, and many values far above the quiet cap; all stay above the bad captures'
      // scores, which the search's bounded history never reaches either.
      for (auto& side : t.history)
        for (auto& from : side)
          for (i32& h : from) h = static_cast<i32>(rng() % 200001) - 90000;

      Move ttMove = 0;
      switch (rng() % 3) {
        case 1: {
          MoveList legal;
          generateLegalMoves(b, legal);
          if (legal.size > 0) ttMove = legal.moves[rng() % static_cast<u64>(legal.size)];
          break;
        }
        case 2:
          ttMove = static_cast<Move>(rng() & 0xFFFF);
          break;
        default:
          break;
      }
      if (ttMove && b.isPseudoLegal(ttMove)) ++validTT;

      referenceOrder(t, b, ttMove, reference);

      {
        MovePicker picker(t, b, ttMove);
        got.size = 0;
        while (const Move m = picker.next()) {
          if (got.size == 256) break;
          got.moves[got.size++] = m;
        }
      }
      ++orderRuns;
      if (!sameSequence(got, reference)) {
        if (++orderMismatches <= 3) {
          std::cout << "        розбіжність: fen=" << fen << " trial=" << trial << " на позиції "
                    << firstDifference(got, reference) << '\n';
          std::cout << "          picker:";
          printMoves(got);
          std::cout << "\n          sort  :";
          printMoves(reference);
          std::cout << '\n';
        }
      }

      const int n = reference.size;
      for (const int k : {0, 1, n / 3, n / 2, n}) {
        if (k > n) continue;
        expected.size = 0;
        for (int i = 0; i < n; ++i) {
          const Move m = reference.moves[i];
          const bool droppable =
              i >= k && m != ttMove && isQuietMove(m) && !isCastling(m) && !b.quietGivesCheck(m);
          if (!droppable) expected.moves[expected.size++] = m;
        }
        MovePicker picker(t, b, ttMove);
        got.size = 0;
        for (int i = 0; i < k; ++i) {
          const Move m = picker.next();
          if (m == 0) break;
          got.moves[got.size++] = m;
        }
        picker.dropLmpQuiets();
        while (const Move m = picker.next()) {
          if (got.size == 256) break;
          got.moves[got.size++] = m;
        }
        ++lmpRuns;
        if (!sameSequence(got, expected) && ++lmpMismatches <= 3) {
          std::cout << "        LMP-хвіст: fen=" << fen << " trial=" << trial << " k=" << k << " picker " << got.size
                    << " ходів, очікувано " << expected.size << '\n';
        }
      }
    }
  }

  std::cout << (orderMismatches == 0 ? "[PASS] " : "[FAIL] ")
            << "MovePicker == generateMoves+sortMoves (послідовно): " << orderRuns << " прогонів (" << validTT
            << " з валідним TT-ходом), " << orderMismatches << " розбіжностей\n";
  std::cout << (lmpMismatches == 0 ? "[PASS] " : "[FAIL] ")
            << "MovePicker + dropLmpQuiets == еталон без LMP-хвоста: " << lmpRuns
            << " прогонів (сигнал на 5 межах), " << lmpMismatches << " розбіжностей\n"
            << std::flush;
  return orderMismatches != 0 || lmpMismatches != 0;
}
