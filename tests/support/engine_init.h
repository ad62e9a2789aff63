// Start-up of the engine's global tables for test binaries, in the program's own order.
#pragma once

#include "attacks/attacks.h"
#include "board/zobrist.h"
#include "eval/endgame.h"
#include "eval/eval.h"
#include "search/search.h"

namespace testsupport {

// What the evaluation (and everything below it) reads; enough for binaries without the search.
inline void initEvalTables() {
  Zobrist::init();
  Attacks::init();
  Eval::init();
  Endgame::init();
}

inline void initEngineTables() {
  initEvalTables();
  Search::init();
}

}  // namespace testsupport
