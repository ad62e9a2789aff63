// Shared set-up of the evaluation tests: global tables once per process, and board helpers.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "attacks/attacks.h"
#include "board/board.h"
#include "board/zobrist.h"
#include "eval/endgame.h"
#include "eval/eval.h"
#include "support/boards.h"
#include "support/eval_env.h"
#include "support/squares.h"

namespace evaltest {

using testsupport::boardFrom;

inline int evalFen(const std::string& fen) { return evaluate(*boardFrom(fen)); }

inline EvalBreakdown breakdownOf(const std::string& fen) {
  EvalBreakdown e;
  evalBreakdown(*boardFrom(fen), e);
  return e;
}

// The same position seen from the other side: board mirrored vertically, colours, side to move,
// castling rights and the en-passant square swapped.
inline std::string colourFlippedFen(const std::string& fen) {
  std::istringstream in(fen);
  std::string placement, side, castling, ep, half = "0", full = "1";
  in >> placement >> side >> castling >> ep >> half >> full;
  std::vector<std::string> ranks;
  std::string cur;
  for (char ch : placement) {
    if (ch == '/') {
      ranks.push_back(cur);
      cur.clear();
    } else {
      cur += ch;
    }
  }
  ranks.push_back(cur);
  auto swapCase = [](char ch) {
    if (ch >= 'a' && ch <= 'z') return static_cast<char>(ch - 'a' + 'A');
    if (ch >= 'A' && ch <= 'Z') return static_cast<char>(ch - 'A' + 'a');
    return ch;
  };
  std::string out;
  for (auto it = ranks.rbegin(); it != ranks.rend(); ++it) {
    if (!out.empty()) out += '/';
    for (char ch : *it) out += swapCase(ch);
  }
  out += side == "w" ? " b " : " w ";
  std::string rights;
  for (char want : std::string("KQkq"))
    if (castling.find(swapCase(want)) != std::string::npos) rights += want;
  out += rights.empty() ? "-" : rights;
  out += ' ';
  if (ep == "-") {
    out += ep;
  } else {
    out += ep[0];
    out += static_cast<char>('1' + ('8' - ep[1]));
  }
  return out + " " + half + " " + full;
}

// K+R against K with Black to move, worked out by hand (see the evaluation tests); pinned both in process and through the binary.
inline constexpr const char* kRookEndingTrace =
    "eval trace (з точки зору білих, mg / eg):\n"
    "  material+psqt    481 /  623\n"
    "  king             0 /  65\n"
    "  bishop pair      0 /  0\n"
    "  mobility         20 /  16\n"
    "  king safety      0 /  0\n"
    "  rooks (files)    51 / -3\n"
    "  pawns            0 /  0\n"
    "  ----------------\n"
    "  total            552 /  701\n"
    "  phase           2 / 24\n"
    "  eg scale        64 / 64\n"
    "  final (white)   688\n"
    "  final (stm=b)      -688\n";

}  // namespace evaltest
