// Random legal walks for property tests: from a few varied start positions, play seeded random legal
// moves and hand every position reached to a callback. Header-only; the test binary must link
// quorvane_movegen (or a library above it) and have run initBoardTables().
#pragma once

#include <cstdint>
#include <memory>

#include "board/board.h"
#include "movegen/movegen.h"
#include "support/positions.h"

namespace testsupport {

// Start positions chosen so that walks meet castling, en passant, promotions, pins and checks early.
inline constexpr const char* kWalkStartFens[] = {
    kStartFen,
    kKiwipete,
    kRookPawnEnding,
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "rnbqkb1r/pp1p1ppp/5n2/2pPp3/8/8/PPP1PPPP/RNBQKBNR w KQkq c6 0 4",
    "4k3/1P4P1/8/3pP3/8/8/1p4p1/4K3 w - d6 0 1",
    "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1",
};

// splitmix64: tiny, seedable, identical on every platform.
class WalkRng {
 public:
  explicit WalkRng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }

 private:
  std::uint64_t state_;
};

// For every start position: call cb(board) on the start position and after each of up to `plies`
// random legal moves (a walk ends early at mate or stalemate). The callback may make and unmake moves
// but must hand the board back as it got it. The board lives on the heap: it is about 60 KB.
// cb(const Board&) or cb(Board&) both work.
template <class Callback>
void randomWalks(std::uint64_t seed, int plies, Callback&& cb) {
  WalkRng rng(seed);
  auto board = std::make_unique<Board>();
  for (const char* fen : kWalkStartFens) {
    board->setFen(fen);
    cb(*board);
    for (int ply = 0; ply < plies; ++ply) {
      MoveList legal;
      generateLegalMoves(*board, legal);
      if (legal.size == 0) break;
      board->makeMove(legal.moves[rng.below(legal.size)]);
      cb(*board);
    }
  }
}

}  // namespace testsupport
