// The "perft" (divided move count) and "bench" (fixed perft benchmark) subcommands.
#include <iostream>

#include "commands/commands.h"
#include "movegen/perft.h"
#include "tt/tt.h"
#include "uci/uci.h"

Board gBoard;

int cmdPerft(const char* fen, const char* depthText) {
  // The depth is checked before the FEN, so a bad depth is reported whatever the position.
  int depth = 0;
  if (!parseIntStrict(depthText, depth) || depth < 1) {
    std::cerr << "perft: глибина має бути цілим числом >= 1\n";
    return 1;
  }
  // Every ply of the count holds one undo record; deeper than the stack would write past it (and
  // could never finish anyway).
  if (depth >= kHistoryCapacity) {
    std::cerr << "perft: глибина має бути цілим числом від 1 до " << kHistoryCapacity - 1 << "\n";
    return 1;
  }
  if (!gBoard.setFen(fen)) {
    std::cerr << "невалідний FEN\n";
    return 1;
  }
  perftDivide(gBoard, depth, std::cout);
  std::cout.flush();
  return 0;
}

int cmdBench() {
  perftBench(gBoard, std::cout, [] { gTT.clear(); });
  std::cout.flush();
  return 0;
}
