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
