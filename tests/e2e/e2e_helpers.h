// Shared pieces of the end-to-end tests: the engine process, legality checks of its answers.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "board/board.h"
#include "movegen/movegen.h"
#include "search/search.h"
#include "support/moves.h"
#include "support/text.h"
#include "support/uci_process.h"

namespace e2e {

using testsupport::findLegal;
using testsupport::UciProcess;
using testsupport::words;

// Generous: sanitizer builds run the same scripts several times slower.
constexpr int kTimeoutMs = 30000;

// The position of "position fen F moves ..." (or startpos), built with the test's own move matching.
inline Board positionOf(std::string_view fen, const std::vector<std::string>& moves = {}) {
  initEngineTables();
  static Board b;  // large; tests run on one thread
  EXPECT_TRUE(b.setFen(fen)) << fen;
  for (const auto& text : moves) {
    const Move m = findLegal(b, text);
    EXPECT_NE(m, 0u) << "test script move " << text << " is not legal";
    if (m == 0) break;
    b.makeMove(m);
    if (b.historySize >= kTrimHistoryAt) b.trimHistory();
  }
  return b;
}

// The move of a "bestmove" line ("bestmove e2e4" gives "e2e4").
inline std::string bestMoveOf(const std::string& line) {
  const auto t = words(line);
  return t.size() >= 2 && t[0] == "bestmove" ? t[1] : std::string();
}

// Sends "uci" and checks the handshake, so the engine is known to be in its loop.
inline void handshake(UciProcess& p) {
  ASSERT_TRUE(p.started());
  ASSERT_TRUE(p.send("uci"));
  ASSERT_TRUE(p.readUntil([](const std::string& l) { return l == "uciok"; }, kTimeoutMs));
}

// Sends "isready" and waits for "readyok"; every line before it is appended to seen.
inline bool sync(UciProcess& p, std::vector<std::string>* seen = nullptr) {
  return p.send("isready") && p.readUntil([](const std::string& l) { return l == "readyok"; }, kTimeoutMs, seen);
}

// Sends "quit" and expects the engine to exit with status 0.
inline void quit(UciProcess& p) {
  ASSERT_TRUE(p.send("quit"));
  EXPECT_EQ(p.waitExit(kTimeoutMs), 0);
}

// Waits for the "bestmove" line and returns its move; the lines before it go to seen.
inline std::string waitBestMove(UciProcess& p, std::vector<std::string>* seen = nullptr, int timeoutMs = kTimeoutMs) {
  const auto line = p.readUntilPrefix("bestmove ", timeoutMs, seen);
  return line ? bestMoveOf(*line) : std::string("<none>");
}

// Number of threads of a running process, from /proc; -1 when unreadable.
inline int threadCount(pid_t pid) {
  std::FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
  if (!f) return -1;
  int n = -1;
  char line[256];
  while (std::fgets(line, sizeof(line), f))
    if (std::sscanf(line, "Threads: %d", &n) == 1) break;
  std::fclose(f);
  return n;
}

}  // namespace e2e
