// Static evaluation: tapered middlegame/endgame score from the side to move's view.
#pragma once

#include "board/board.h"
#include "eval/params.h"

namespace Eval {
void init();  // fills gBetweenBB; the king masks and weights are compile-time tables
}

// Start-up of every table the evaluation reads, in the program's order: initBoardTables,
// Eval::init, the KPK bitbase. Runs once per process; later calls return at once.
void initEvalTables();

// |evaluate| never exceeds this, so a static evaluation plus its correction stays below every
// mate score. The built-in numbers cannot get near it; a build from other numbers that could is
// clamped.
inline constexpr int kEvalLimit = 27000;

int evaluate(const Board& b);
void setEvalTrace(bool on);

// Every term of one evaluation, White minus Black, as evaluate computes it (and the trace prints).
struct EvalBreakdown {
  ScorePair material;  // incremental material + piece squares
  ScorePair king;      // king piece squares, king proximity in the endgame
  ScorePair bishopPair;
  ScorePair mobility;
  ScorePair kingSafety;  // middlegame only
  ScorePair rooks;       // open and half-open files
  ScorePair pawns;       // pawn structure plus passed-pawn dynamics
  ScorePair total;       // unscaled sums
  int phase;             // capped at 24
  int scale;             // out of 64
  int white;             // final value from White's view
  int result;            // final value from the side to move's view
};
void evalBreakdown(const Board& b, EvalBreakdown& out);

// The same evaluation recording its terms as coefficients of the parameter vector
// (eval/paramlist.h): per parameter how often its middlegame and endgame value count, White minus
// Black, added to coefMg and coefEg, and the untuned rest added to mgBase and egBase. The tuner's
// features come from here.
void evalCoefficients(const Board& b, EvalBreakdown& out, int& mgBase, int& egBase, int coefMg[],
                      int coefEg[]);

// The phase blend, in the evaluation's order of truncating divisions: the endgame sum scaled out of
// 64 first, then the blend over phase 0..24. T is int in the engine; the tuner also uses wider and
// real numbers.
template <class T>
constexpr T blend(T mg, T eg, int phase, int scale) {
  return (mg * phase + (eg * scale / 64) * (24 - phase)) / 24;
}

// The fifty-move damping v * (200 - clock) / 200. The clock saturates at 255; capping it at 200
// makes the factor reach 0 and stay there instead of turning negative and flipping the sign.
template <class T>
constexpr T fiftyMoveDamped(T v, int halfmoveClock) {
  const int clock = halfmoveClock < 200 ? halfmoveClock : 200;
  return v * (200 - clock) / 200;
}
