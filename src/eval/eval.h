// Static evaluation: tapered middlegame/endgame score from the side to move's view.
#pragma once

#include "board/board.h"

namespace Eval {
void init();  // fills gBetweenBB, shield files, king zones and shields
}

int evaluate(const Board& b);
void setEvalTrace(bool on);
