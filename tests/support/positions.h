// Test positions that several test folders use, named for what makes each useful; beside the
// engine's own kStartFen, so they read alike.
#pragma once

// Castling both ways, en passant, pins and promotions within a few plies: the usual stress
// position.
inline constexpr const char* kKiwipete =
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
// A rook and pawn ending full of checks and en-passant captures (the third perft suite position).
inline constexpr const char* kRookPawnEnding = "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1";
// White to move is checkmated (fool's mate).
inline constexpr const char* kWhiteMated =
    "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3";
// Black to move has no move and is not in check.
inline constexpr const char* kStalemate = "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1";
// White mates in one (Ra8).
inline constexpr const char* kMateInOne = "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1";
// King and rook against king, Black to move: the evaluation trace worked out by hand.
inline constexpr const char* kRookEnding = "4k3/8/8/8/8/8/8/R3K3 b - - 0 1";
