// The evaluation written as a linear function of one parameter vector, for offline tuning:
// extract records how often each parameter counts in a position (plus the untuned remainder),
// reconstruct turns such a trace and any vector back into an evaluation.
#pragma once

#include "board/board.h"
#include "eval/paramlist.h"
#include "formats/feature_line.h"

namespace Tune {

inline constexpr int NPARAMS = EvalParams::kParamCount;

// The vector's layout and names are the evaluation's own (eval/paramlist.h).
using EvalParams::kBishopPairIdx;
using EvalParams::kConnectedEgIdx;
using EvalParams::kConnectedMgIdx;
using EvalParams::kDoubledEgIdx;
using EvalParams::kDoubledMgIdx;
using EvalParams::kIsolatedEgIdx;
using EvalParams::kIsolatedMgIdx;
using EvalParams::kKingEg;
using EvalParams::kKsOpenFileIdx;
using EvalParams::kKsSafetyIdx;
using EvalParams::kMatEg;
using EvalParams::kMatMg;
using EvalParams::kMobEgStart;
using EvalParams::kMobMgStart;
using EvalParams::kPassedEgIdx;
using EvalParams::kPassedMgIdx;
using EvalParams::kPawnEg;
using EvalParams::kPstEgDelta;
using EvalParams::kPstMg;
using EvalParams::kRookOpenEgIdx;
using EvalParams::kRookOpenMgIdx;
using EvalParams::kRookSemiEgIdx;
using EvalParams::kRookSemiMgIdx;
using EvalParams::paramName;  // "?" outside 0..NPARAMS-1

struct Trace {
  double result = 0.5;  // label for the tuner; extract leaves it alone
  int phase = 0;        // 0..24
  int scale = 64;       // endgame scale factor out of 64, fixed with the default vector
  int mgBase = 0;       // untuned parts of the middlegame and endgame sums
  int egBase = 0;
  int coefMg[NPARAMS] = {};  // White-minus-Black counts per parameter
  int coefEg[NPARAMS] = {};
};

void initValues(int out[NPARAMS]);  // the vector the engine was built with

// Zeroes everything from mgBase on, then fills the trace for b; result is not touched.
void extract(const Board& b, Trace& trace);
// The evaluation of b (side to move's view) that the trace and the vector v describe.
int reconstruct(const Board& b, const Trace& trace, const int v[NPARAMS]);
// The feature line of a trace with result: the one way a trace becomes sparse entries. The score
// and the clock are left alone. False with why set when a coefficient does not fit a byte.
bool toFeatures(const Trace& trace, double result, Features::Line& out, const char*& why);

}  // namespace Tune

// "tuneparams": the vector with names and values on standard output; returns 0.
int runTuneParams();
// Reconstruction against evaluate on built-in positions, reported on standard output; returns the
// number of failures.
int runTuneVerify();
