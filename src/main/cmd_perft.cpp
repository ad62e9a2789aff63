// The "perft" (divided move count) and "bench" (fixed perft benchmark) subcommands.
#include <iostream>

#include "main/commands.h"
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
  static const char* const kFens[3] = {
      kStartFen,
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
  };
  u64 total = 0;
  for (int i = 0; i < 3; ++i) {
    gBoard.setFen(kFens[i]);
    gTT.clear();
    const u64 n = perft(gBoard, 5);
    std::cout << "pos " << i + 1 << ": " << n << " nodes\n";
    total += n;
  }
  std::cout << "Total: " << total << " nodes\n";
  std::cout.flush();
  return 0;
}
