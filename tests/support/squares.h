// Squares, square sets and moves by name ("e4"), so that test cases read like the board.
#pragma once

#include <initializer_list>

#include "types/types.h"

namespace testsupport {

constexpr Square sq(const char* name) { return makeSquare(name[0] - 'a', name[1] - '1'); }

inline u64 squares(std::initializer_list<const char*> names) {
  u64 set = 0;
  for (const char* n : names) set |= bb(sq(n));
  return set;
}

constexpr Move mv(const char* from, const char* to, u32 flag) { return encodeMove(sq(from), sq(to), flag); }

}  // namespace testsupport
