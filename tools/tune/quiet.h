// The engine's own quiescence search, run on single positions for the tuner's filters: whether a
// capture or promotion beats standing pat, and the quiet position at the end of the quiescence
// principal variation.
#pragma once

#include <memory>

#include "board/board.h"

class Thread;
class TranspositionTable;

namespace TuneTool {

class QuietSearch {
 public:
  QuietSearch();
  ~QuietSearch();
  QuietSearch(const QuietSearch&) = delete;
  QuietSearch& operator=(const QuietSearch&) = delete;

  // The first move of the quiescence principal variation of b: the capture or promotion that the
  // search (captures only, standing pat allowed, also in check) finds better than standing pat, or 0
  // when standing pat is best. Every call starts from a cleared table, so the answer depends on
  // the position alone. b is unchanged.
  Move bestMove(Board& b);

  // Plays the quiescence principal variation on b: the best move of each position in turn until
  // standing pat is best there. Returns the number of moves made (their undo records stay on b).
  int resolve(Board& b);

 private:
  std::unique_ptr<TranspositionTable> table_;
  std::unique_ptr<Thread> thread_;
};

}  // namespace TuneTool
