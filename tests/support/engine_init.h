// Start-up of the engine's global tables for test binaries, in the program's own order.
#pragma once

#include "attacks/attacks.h"
#include "board/zobrist.h"
#include "eval/endgame.h"
#include "eval/eval.h"
#include "search/search.h"

namespace testsupport {

inline void initEngineTables() {
  Zobrist::init();
  Attacks::init();
  Eval::init();
  Endgame::init();
  Search::init();
}

}  // namespace testsupport
