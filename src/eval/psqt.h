// Material values, phase weights, piece-square tables and the combined table kPsq the Board sums.
#pragma once

#include "board/types.h"

namespace EvalParams {

extern const int kMgValue[6];
extern const int kEgValue[6];
extern const int kPhaseWeight[6];
extern const int kPSTMG[6][64];  // printed order: index 0 = a8, 63 = h1; White reads s ^ 56
extern const int kPSTEGPawn[64];
extern const int kKingEG[64];

}  // namespace EvalParams

// kPsq[half][color][piece][square]: half 0 = middlegame, 1 = endgame; Black entries negated.
// Filled at compile time from the tables above.
extern const int kPsq[2][2][6][64];
extern const int kNonPawnValue[6];
