// Score units and limits shared by the transposition table and the search: mate at ply p scores
// kMateScore - p, and every score lies strictly inside +-kInfinite.
#pragma once

inline constexpr int kMateScore = 30000;
inline constexpr int kInfinite = 32000;
inline constexpr int kMaxPly = 128;
// Scores of this magnitude or more are mates; kMaxNonMate is the largest score that is not one.
inline constexpr int kMateBound = kMateScore - 2 * kMaxPly;
inline constexpr int kMaxNonMate = kMateBound - 1;
static_assert(kMateBound == 29744);

// Moves to mate (negative when being mated) of a mate score, as "info ... score mate N" gives it.
constexpr int mateInMoves(int score) {
  const int n = (kMateScore + 1 - (score < 0 ? -score : score)) / 2;
  return score < 0 ? -n : n;
}
