// Start-up of the evaluation's geometry (the between-squares table used for pins), and of all the
// tables the evaluation reads.
#include "attacks/attacks.h"
#include "board/board.h"
#include "eval/endgame.h"
#include "eval/eval.h"

namespace Eval {

// Needs the slider tables, so it runs after Attacks::init. The king masks and weights are
// compile-time constants and need nothing here.
void init() {
  for (Square a = 0; a < 64; ++a)
    for (Square b = 0; b < 64; ++b) {
      u64 between = 0;
      if (a != b) {
        if ((Attacks::rankMask[a] | Attacks::fileMask[a]) & bb(b))
          between = rookAttacks(a, bb(b)) & rookAttacks(b, bb(a));
        else if ((Attacks::diagMask[a] | Attacks::adiagMask[a]) & bb(b))
          between = bishopAttacks(a, bb(b)) & bishopAttacks(b, bb(a));
      }
      gBetweenBB[a][b] = between;
    }
}

}  // namespace Eval

void initEvalTables() {
  static const bool done = [] {
    initBoardTables();
    Eval::init();
    Endgame::init();
    return true;
  }();
  (void)done;
}
