// The combined material and piece-square table kPsq that the Board sums incrementally, with the
// non-pawn values and phase weights it sums beside it.
#pragma once

#include "types/types.h"

namespace EvalParams {
extern const int kPhaseWeight[6];
}

// kPsq[half][color][piece][square]: half 0 = middlegame, 1 = endgame; Black entries negated.
// Filled at compile time from the evaluation's tables.
extern const int kPsq[2][2][6][64];
// The middlegame material of knights to queens; 0 for pawns and kings.
extern const int kNonPawnValue[6];
