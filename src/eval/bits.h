// Pawn-set fills and shifts shared by the evaluation files (no wrapping across the a/h files).
#pragma once

#include "attacks/attacks.h"
#include "types/types.h"

namespace EvalBits {

constexpr u64 northFill(u64 x) {
  x |= x << 8;
  x |= x << 16;
  return x | (x << 32);
}
constexpr u64 southFill(u64 x) {
  x |= x >> 8;
  x |= x >> 16;
  return x | (x >> 32);
}
constexpr u64 shiftWest(u64 x) { return (x >> 1) & ~kFileH; }
constexpr u64 shiftEast(u64 x) { return (x << 1) & ~kFileA; }
constexpr u64 bothSides(u64 x) { return shiftWest(x) | shiftEast(x); }

// One bit per file (bit f = file f) holding a square of x.
constexpr unsigned fileSet(u64 x) { return static_cast<unsigned>(southFill(x) & 0xFF); }
// The whole files named by a file byte.
constexpr u64 filesOf(unsigned files) { return static_cast<u64>(files & 0xFF) * kFileA; }

constexpr int distance(Square a, Square b) {
  const int df = fileOf(a) > fileOf(b) ? fileOf(a) - fileOf(b) : fileOf(b) - fileOf(a);
  const int dr = rankOf(a) > rankOf(b) ? rankOf(a) - rankOf(b) : rankOf(b) - rankOf(a);
  return df > dr ? df : dr;
}

}  // namespace EvalBits
