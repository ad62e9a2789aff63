// Static evaluation: tapered middlegame/endgame score from the side to move's view.
#pragma once

#include "board/board.h"
#include "eval/params.h"

namespace Eval {
void init();  // fills gBetweenBB; the king masks and weights are compile-time tables
}

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

// Each side's attacks: pawns, king, knights, bishops, rooks and queens, sliders against the full
// occupancy, pins ignored.
void computeAttackedBy(const Board& b, u64 attackedBy[2]);

// Pieces of `us` pinned to their king by an enemy slider, and for each the line it may still
// move along (the squares between king and pinner, plus the pinner). pinRay is written only for
// squares in pinned.
void computeAbsolutePins(const Board& b, Color us, u64& pinned, u64 pinRay[64]);

// The king-attack tally of `attacker`'s knights, bishops, rooks and queens against the enemy king
// (units and weight, before the cap and the division).
void kingAttackTally(const Board& b, Color attacker, int& units, int& weight);

// Shelter counts of c's king: false (and both counts 0) when the king stands on file d, e or f,
// where the shelter term is 0.
bool kingShelterCounts(const Board& b, Color c, int& shielded, int& openFiles);
