// The evaluation written as a linear function of one parameter vector, for offline tuning:
// extract records how often each parameter counts in a position (plus the untuned remainder),
// reconstruct turns such a trace and any vector back into an evaluation.
#pragma once

#include <string>

#include "board/board.h"

namespace Tune {

inline constexpr int NPARAMS = 1082;

// Start index of each block of the vector.
inline constexpr int kMatMg = 0;
inline constexpr int kMatEg = 5;
inline constexpr int kPstMg = 10;        // + 64 * type + table index (kings included)
inline constexpr int kPawnEg = 394;
inline constexpr int kKingEg = 458;
inline constexpr int kMobMgStart[6] = {0, 522, 540, 568, 598, 0};  // by piece type, N..Q
inline constexpr int kMobEgStart[6] = {0, 531, 554, 583, 626, 0};
inline constexpr int kPstEgDelta = 654;  // + 64 * type + table index
inline constexpr int kBishopPairIdx = 1038;
inline constexpr int kRookOpenMgIdx = 1039;
inline constexpr int kRookOpenEgIdx = 1040;
inline constexpr int kRookSemiMgIdx = 1041;
inline constexpr int kRookSemiEgIdx = 1042;
inline constexpr int kPassedMgIdx = 1043;  // + relative rank
inline constexpr int kPassedEgIdx = 1051;
inline constexpr int kIsolatedMgIdx = 1059;
inline constexpr int kIsolatedEgIdx = 1060;
inline constexpr int kDoubledMgIdx = 1061;
inline constexpr int kDoubledEgIdx = 1062;
inline constexpr int kConnectedMgIdx = 1063;
inline constexpr int kConnectedEgIdx = 1064;
inline constexpr int kKsSafetyIdx = 1065;  // + units 0..15
inline constexpr int kKsOpenFileIdx = 1081;

struct Trace {
  double result = 0.5;  // label for the tuner; extract leaves it alone
  int phase = 0;        // 0..24
  int scale = 64;       // endgame scale factor out of 64, fixed with the default vector
  int mgBase = 0;       // untuned parts of the middlegame and endgame sums
  int egBase = 0;
  int coefMg[NPARAMS] = {};  // White-minus-Black counts per parameter
  int coefEg[NPARAMS] = {};
};

void initValues(int out[NPARAMS]);  // the engine's current constants
std::string paramName(int index);   // "?" outside 0..NPARAMS-1

// Zeroes everything from mgBase on, then fills the trace for b; result is not touched.
void extract(const Board& b, Trace& trace);
// The evaluation of b (side to move's view) that the trace and the vector v describe.
int reconstruct(const Board& b, const Trace& trace, const int v[NPARAMS]);

}  // namespace Tune

// "tuneparams": the vector with names and values on standard output; returns 0.
int runTuneParams();
// Reconstruction against evaluate on built-in positions, reported on standard output; returns the
// number of failures.
int runTuneVerify();
