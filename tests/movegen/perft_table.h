// Published perft counts in the usual "FEN ;D1 n ;D2 n ..." form, and a parser for such lines.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

inline const char* const kPerftSuite[] = {
    // The three positions of the perft benchmark.
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 ;D1 20 ;D2 400 ;D3 8902 ;D4 197281 ;D5 4865609",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1 ;D1 48 ;D2 2039 ;D3 97862 "
    ";D4 4085603 ;D5 193690690",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1 ;D1 14 ;D2 191 ;D3 2812 ;D4 43238 ;D5 674624",
    // Promotions of both colours, castling with a checking knight, under-promotion traps.
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1 ;D1 6 ;D2 264 ;D3 9467 ;D4 422333 "
    ";D5 15833292",
    // Its colour mirror: the same counts with Black to move.
    "r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1 ;D1 6 ;D2 264 ;D3 9467 ;D4 422333 "
    ";D5 15833292",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8 ;D1 44 ;D2 1486 ;D3 62379 ;D4 2103487 "
    ";D5 89941194",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10 ;D1 46 ;D2 2079 ;D3 89890 "
    ";D4 3894594 ;D5 164075551",
    // Small positions that isolate one rule each (en passant discovering check, castling rights lost by
    // capture, promotion to give or avoid check, stalemate and mate traps).
    "3k4/3p4/8/K1P4r/8/8/8/8 b - - 0 1 ;D6 1134888",
    "8/8/4k3/8/2p5/8/B2P2K1/8 w - - 0 1 ;D6 1015133",
    "8/8/1k6/2b5/2pP4/8/5K2/8 b - d3 0 1 ;D6 1440467",
    "5k2/8/8/8/8/8/8/4K2R w K - 0 1 ;D6 661072",
    "3k4/8/8/8/8/8/8/R3K3 w Q - 0 1 ;D6 803711",
    "r3k2r/1b4bq/8/8/8/8/7B/R3K2R w KQkq - 0 1 ;D4 1274206",
    "r3k2r/8/3Q4/8/8/5q2/8/R3K2R b KQkq - 0 1 ;D4 1720476",
    "2K2r2/4P3/8/8/8/8/8/3k4 w - - 0 1 ;D6 3821001",
    "8/8/1P2K3/8/2n5/1q6/8/5k2 b - - 0 1 ;D5 1004658",
    "4k3/1P6/8/8/8/8/K7/8 w - - 0 1 ;D6 217342",
    "8/P1k5/K7/8/8/8/8/8 w - - 0 1 ;D6 92683",
    "K1k5/8/P7/8/8/8/8/8 w - - 0 1 ;D6 2217",
    "8/k1P5/8/1K6/8/8/8/8 w - - 0 1 ;D7 567584",
    "8/8/2k5/5q2/5n2/8/5K2/8 b - - 0 1 ;D4 23527",
};

struct PerftCase {
  std::string fen;
  std::vector<std::pair<int, std::uint64_t>> counts;  // (depth, leaves)
};

inline PerftCase parsePerftLine(const std::string& line) {
  PerftCase c;
  std::size_t cut = line.find(';');
  c.fen = line.substr(0, cut);
  while (!c.fen.empty() && c.fen.back() == ' ') c.fen.pop_back();
  while (cut != std::string::npos) {
    std::size_t next = line.find(';', cut + 1);
    std::istringstream field(line.substr(cut + 1, next == std::string::npos ? std::string::npos : next - cut - 1));
    char d = 0;
    int depth = 0;
    std::uint64_t leaves = 0;
    field >> d >> depth >> leaves;
    c.counts.emplace_back(depth, leaves);
    cut = next;
  }
  return c;
}
