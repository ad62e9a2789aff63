// The search's margins and windows, beside each other.
#pragma once

// Reverse futility pruning: at depth <= kRfpMaxDepth a static evaluation kRfpMargin * depth above
// beta returns at once (one more depth of margin when a piece hangs).
inline constexpr int kRfpMaxDepth = 6;
inline constexpr int kRfpMargin = 80;

// Quiescence delta pruning: a capture that cannot bring the score within this of alpha is skipped.
inline constexpr int kDeltaMargin = 200;

// Aspiration windows from depth kAspirationMinDepth: +-kAspirationWindow around the previous score,
// then kAspirationWindow beyond the failed bound, then kAspirationWiden, then the full window.
inline constexpr int kAspirationMinDepth = 5;
inline constexpr int kAspirationWindow = 25;
inline constexpr int kAspirationWiden = 39;

// History scores approach +-kHistoryMax under the gravity update.
inline constexpr int kHistoryMax = 16384;

// Null move: tried from depth kNullMinDepth; the reply is searched kNullReduction plies shallower,
// one more beyond kNullDeepFrom, where a deeper cut pays for the lost precision.
inline constexpr int kNullMinDepth = 3;
inline constexpr int kNullReduction = 3;
inline constexpr int kNullDeepFrom = 6;

// Late-move reduction: every kLmrHistoryDivisor points of a quiet move's history take one ply off
// its reduction (or add one, for a move that keeps failing).
inline constexpr int kLmrHistoryDivisor = 8000;

// Singular extension: from depth kSingularMinDepth, with a TT entry at most kSingularDepthGap
// plies shallower; the TT move is singular when every other move stays kSingularMargin * depth
// below its score.
inline constexpr int kSingularMinDepth = 8;
inline constexpr int kSingularDepthGap = 3;
inline constexpr int kSingularMargin = 2;

// Late-move pruning: at depth <= kLmpMaxDepth, once depth * depth + kLmpBase moves have been
// searched, only the quiet moves that give check are still tried.
inline constexpr int kLmpMaxDepth = 4;
inline constexpr int kLmpBase = 3;
