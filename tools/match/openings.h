// Openings from EPD or PGN files, checked whole before a game starts, and the deterministic
// choice of a pair's opening from its index.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/match/match.h"

namespace Match {

struct Opening {
  std::string fen;                // the starting position (a PGN game's FEN tag, or the start)
  std::vector<std::string> moves; // UCI moves played from it before the engines take over
  bool standardStart = false;     // fen is the usual start position
};

// Reads every opening of the file; false with "FILE:LINE: reason" for the first bad one.
bool loadOpenings(const OpeningSettings& s, std::vector<Opening>& out, std::string& error);

// The opening of a pair: a fixed permutation of the file (order=random, from the seed) or the
// file order, starting at start=, wrapping around.
std::size_t openingIndex(const OpeningSettings& s, std::size_t count, std::uint64_t seed, std::int64_t pair);

std::uint64_t splitmix64(std::uint64_t& state);

}  // namespace Match
