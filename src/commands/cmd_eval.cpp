// "evaltrace" and "egscale" subcommands: evaluation diagnostics on the subcommand board.
#include <iostream>
#include <string>

#include "eval/endgame.h"
#include "eval/eval.h"
#include "commands/commands.h"

int cmdEvalTrace(const char* fen) {
  if (!gBoard.setFen(fen)) {
    std::cerr << "невалідний FEN\n";
    return 1;
  }
  setEvalTrace(true);
  evaluate(gBoard);
  setEvalTrace(false);
  return 0;
}

// One scale factor per input line; text after ';' is a comment. The strong side is chosen by the
// sign of the final White-view evaluation.
int cmdEgScale() {
  std::string line;
  while (std::getline(std::cin, line)) {
    const std::string fen = line.substr(0, line.find(';'));
    if (!gBoard.setFen(fen)) {
      std::cout << "err\n";
      continue;
    }
    const int v = evaluate(gBoard);
    const int white = gBoard.side == White ? v : -v;
    std::cout << egScaleFactor(gBoard, white) << "\n";
  }
  std::cout.flush();
  return 0;
}
