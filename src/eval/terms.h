// How the evaluation records the parameters it uses, so that the tuner's features come from the
// very code that evaluates. Every tuned number is read through mgParam/egParam, which also tell the
// recorder how often that use counts in the White-minus-Black sums; the untuned rest goes to base.
#pragma once

#include "eval/params.h"

// The search's recorder: records nothing, and every call vanishes from the compiled evaluation.
struct NoTrace {
  static constexpr bool kRecords = false;
  void mg(int, int) {}
  void eg(int, int) {}
  void base(int, int) {}
};

// The tuner's recorder: per parameter the middlegame and endgame coefficient, and the untuned sums.
struct CoefficientTrace {
  static constexpr bool kRecords = true;
  int* coefMg;
  int* coefEg;
  int* mgBase;
  int* egBase;
  void mg(int i, int count) { coefMg[i] += count; }
  void eg(int i, int count) { coefEg[i] += count; }
  void base(int mg, int eg) {
    *mgBase += mg;
    *egBase += eg;
  }
};

// A tuned number as a middlegame (endgame) term. count is how often this use enters the
// White-minus-Black sum (+1 on White's side, -1 on Black's, or a net count). The value comes from
// the evaluation's own tables, which are built from the vector with the same indices, so the
// search reads exactly what it always read.
template <class Tr>
inline int mgParam(Tr& tr, int i, int count) {  // a single parameter (a constant index)
  tr.mg(i, count);
  return EvalParams::kParamValues[i];
}
template <class Tr>
inline int egParam(Tr& tr, int i, int count) {
  tr.eg(i, count);
  return EvalParams::kParamValues[i];
}
// Both halves of a mobility entry, packed (packPair).
template <class Tr>
inline i64 mobilityPair(Tr& tr, Piece t, int squares, int count) {
  tr.mg(EvalParams::kMobMgStart[t] + squares, count);
  tr.eg(EvalParams::kMobEgStart[t] + squares, count);
  return EvalParams::kMobilityPair[t][squares];
}
template <class Tr>
inline int kingDanger(Tr& tr, int units, int count) {
  tr.mg(EvalParams::kKsSafetyIdx + units, count);
  return EvalParams::kKsSafetyTable[units];
}
template <class Tr>
inline int passedMg(Tr& tr, int rank, int count) {
  tr.mg(EvalParams::kPassedMgIdx + rank, count);
  return EvalParams::kPassedMg[rank];
}
template <class Tr>
inline int passedEg(Tr& tr, int rank, int count) {
  tr.eg(EvalParams::kPassedEgIdx + rank, count);
  return EvalParams::kPassedEg[rank];
}
// The square value of a piece of type t on table index i in half h (material included, kings
// without), from the parameters squareParams names.
template <class Tr>
inline int squareValue(Tr& tr, int h, Piece t, int i, int count) {
  if constexpr (Tr::kRecords) {
    const EvalParams::SquareParams p = EvalParams::squareParams(h, t, i);
    for (int k = 0; k < p.count; ++k) h == 0 ? tr.mg(p.index[k], count) : tr.eg(p.index[k], count);
  }
  return EvalParams::kSquareValue[h][t][i];
}
