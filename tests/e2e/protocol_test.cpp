// The UCI conversation over real pipes: handshake, readiness, diagnostics, option handling, end of input.
#include <string>
#include <vector>

#include "e2e_helpers.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QV_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QV_SANITIZED 1
#endif
#endif

#include "uci/sysmem.h"

namespace e2e {
namespace {

TEST(UciProtocol, UciPrintsExactlySixLines) {
  UciProcess p;
  ASSERT_TRUE(p.send("uci"));
  std::vector<std::string> lines;
  for (int i = 0; i < 6; ++i) {
    auto line = p.readLine(kTimeoutMs);
    ASSERT_TRUE(line);
    lines.push_back(*line);
  }
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "id name Quorvane 0.11.0",
                       "id author the Quorvane developers",
                       "option name Hash type spin default 64 min 1 max 65536",
                       "option name Threads type spin default 1 min 1 max 256",
                       "option name Move Overhead type spin default 10 min 0 max 5000",
                       "uciok",
                   }));
  // Nothing else follows: the next line is the answer to "isready".
  ASSERT_TRUE(p.send("isready"));
  EXPECT_EQ(p.readLine(kTimeoutMs).value_or("<none>"), "readyok");
  quit(p);
  EXPECT_EQ(p.pendingOut(), "");
  EXPECT_EQ(p.errText(), "");
}

TEST(UciProtocol, BlankLinesCrLfAndUnknownCommandsAreQuiet) {
  UciProcess p;
  ASSERT_TRUE(p.sendRaw("\n   \n\r\n \r \r\nfoo\nISREADY\ngo2\nd extra words\r\nisready\r\n"));
  EXPECT_EQ(p.readLine(kTimeoutMs).value_or("<none>"),
            "fen: rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  EXPECT_EQ(p.readLine(kTimeoutMs).value_or("<none>"), "readyok");
  p.closeInput();
  EXPECT_EQ(p.waitExit(kTimeoutMs), 0);
  EXPECT_EQ(p.pendingOut(), "");
}

TEST(UciProtocol, ReadyokWhileSearching) {
  UciProcess p;
  handshake(p);
  ASSERT_TRUE(p.send("go infinite"));
  ASSERT_TRUE(p.readUntilPrefix("info depth", kTimeoutMs));
  std::vector<std::string> seen;
  ASSERT_TRUE(sync(p, &seen));
  for (const auto& l : seen) EXPECT_FALSE(l.starts_with("bestmove")) << l;
  // "d" and the move overhead are also served without stopping the search.
  ASSERT_TRUE(p.send("setoption name Move Overhead value 20"));
  ASSERT_TRUE(p.send("d"));
  seen.clear();
  ASSERT_TRUE(p.readUntilPrefix("fen: ", kTimeoutMs, &seen));
  ASSERT_TRUE(sync(p, &seen));
  for (const auto& l : seen) EXPECT_FALSE(l.starts_with("bestmove")) << l;
  ASSERT_TRUE(p.send("stop"));
  const std::string move = waitBestMove(p);
  EXPECT_NE(findLegal(positionOf(kStartFen), move), 0u) << move;
  quit(p);
}

// Each rejected command reports itself and leaves the position as "d" showed it before.
TEST(UciProtocol, DiagnosticsKeepThePreviousState) {
  UciProcess p;
  handshake(p);
  const std::string fenAfterE4 = "fen: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1";
  ASSERT_TRUE(p.send("position startpos moves e2e4"));

  struct Case {
    std::string command;
    std::string report;
    std::string fenAfter;
  };
  const std::vector<Case> cases = {
      {"position", "position: очікувалось startpos або fen — позицію не змінено", fenAfterE4},
      {"position fen", "position fen: порожній FEN — позицію не змінено", fenAfterE4},
      {"position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1",
       "position fen: некоректний FEN \"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1\" — позицію не "
       "змінено",
       fenAfterE4},
      {"position fen   8/8/8/8  w  -  -", "position fen: некоректний FEN \"8/8/8/8 w - -\" — позицію не змінено",
       fenAfterE4},
      {"position somewhere", "position: невідомий аргумент \"somewhere\" — позицію не змінено", fenAfterE4},
      {"setoption name Threads value abc", "setoption threads: некоректне значення \"abc\" — опцію не змінено",
       fenAfterE4},
      {"setoption name HASH value 12 MB", "setoption hash: некоректне значення \"12 MB\" — опцію не змінено",
       fenAfterE4},
      {"setoption name Move Overhead value", "setoption move overhead: некоректне значення \"\" — опцію не змінено",
       fenAfterE4},
      {"perft 0", "perft: глибина має бути цілим числом від 1 до 1024 — команду пропущено", fenAfterE4},
      {"perft abc", "perft: глибина має бути цілим числом від 1 до 1024 — команду пропущено", fenAfterE4},
      {"position startpos moves e2e4 e7e5 e1e1 g1f3",
       "position moves: хід \"e1e1\" нелегальний у цій позиції — решту ходів пропущено",
       "fen: rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2"},
      {"position startpos moves e2e4 xyz",
       "position moves: хід \"xyz\" нелегальний у цій позиції — решту ходів пропущено", fenAfterE4},
  };
  std::string expectedErr;
  for (const auto& c : cases) {
    ASSERT_TRUE(p.send(c.command));
    ASSERT_TRUE(p.send("d"));
    EXPECT_EQ(p.readLine(kTimeoutMs).value_or("<none>"), "info string " + c.report) << c.command;
    EXPECT_EQ(p.readLine(kTimeoutMs).value_or("<none>"), c.fenAfter) << c.command;
    expectedErr += c.report + "\n";
  }
  // The options are still usable and unchanged in effect: a search runs.
  ASSERT_TRUE(p.send("go depth 1"));
  EXPECT_NE(waitBestMove(p), "<none>");
  quit(p);
  // Standard error carries the bare texts, in the same order.
  EXPECT_EQ(p.errText(), expectedErr);
}

TEST(UciProtocol, OptionsAreClamped) {
  UciProcess p;
  handshake(p);
  ASSERT_TRUE(sync(p));
  // The Threads clamps are checked in process (tests/uci): the pool's size is the count.
  std::vector<std::string> seen;
  ASSERT_TRUE(p.send("setoption name Move Overhead value -5"));
  ASSERT_TRUE(p.send("setoption name Move Overhead value 100000"));
  ASSERT_TRUE(p.send("setoption name Hash value 0"));
  ASSERT_TRUE(p.send("setoption name Hash value -3"));
  ASSERT_TRUE(p.send("setoption name Hash value 2"));
  ASSERT_TRUE(p.send("setoption name Ponder value true"));
  ASSERT_TRUE(sync(p, &seen));
  // Clamping is silent: the only lines were the answers to "isready".
  for (const auto& l : seen) EXPECT_EQ(l, "readyok");

  ASSERT_TRUE(p.send("go depth 3"));
  EXPECT_NE(findLegal(positionOf(kStartFen), waitBestMove(p)), 0u);
  quit(p);
  EXPECT_EQ(p.errText(), "");
}

#ifndef QV_SANITIZED
// An address-space limit makes the big allocation fail: the engine says so and keeps its table.
TEST(UciProtocol, HashAllocationFailureAndMemoryCap) {
  UciProcess p({}, std::uint64_t{1} << 30);
  handshake(p);
  ASSERT_TRUE(p.send("setoption name Hash value 4096"));
  EXPECT_EQ(p.readLine(kTimeoutMs).value_or("<none>"),
            "info string setoption hash: не вдалося виділити 4096 МБ — лишається попередній розмір");

  // The largest request is first cut to three quarters of the usable memory, when that is smaller.
  const std::uint64_t phys = SysMem::usableBytes();
  const std::uint64_t capped = SysMem::clampHashMb(65536, phys);
  ASSERT_TRUE(p.send("setoption name HaSh value 100000"));
  if (capped < 65536) {
    EXPECT_EQ(p.readLine(kTimeoutMs).value_or("<none>"),
              "info string setoption hash: 65536 МБ — більше за 3/4 фізичної RAM (" + std::to_string(phys >> 20) +
                  " МБ); використано " + std::to_string(capped) + " МБ");
  }
  EXPECT_EQ(p.readLine(kTimeoutMs).value_or("<none>"), "info string setoption hash: не вдалося виділити " +
                                                           std::to_string(capped) +
                                                           " МБ — лишається попередній розмір");
  ASSERT_TRUE(p.send("go depth 4"));
  EXPECT_NE(findLegal(positionOf(kStartFen), waitBestMove(p)), 0u);
  quit(p);
}

// 1 GiB of address space holds the table and far fewer than 128 thread stacks: the engine keeps
// the threads it got, says how many, and searches with them.
TEST(UciProtocol, ThreadsTheSystemRefusesAreLeftOut) {
  UciProcess p({}, std::uint64_t{1} << 30);
  handshake(p);
  ASSERT_TRUE(p.send("setoption name Threads value 128"));
  const auto report = p.readLine(kTimeoutMs).value_or("<none>");
  const std::string prefix =
      "info string threads: система не дала створити всі потоки пошуку — працює ";
  ASSERT_TRUE(report.starts_with(prefix)) << report;
  const int running = std::stoi(report.substr(prefix.size()));
  EXPECT_GE(running, 1);
  EXPECT_LT(running, 128);
  EXPECT_TRUE(report.ends_with(" з 128")) << report;
  EXPECT_TRUE(sync(p));
  EXPECT_EQ(threadCount(p.pid()), running + 1);
  ASSERT_TRUE(p.send("go depth 4"));
  EXPECT_NE(findLegal(positionOf(kStartFen), waitBestMove(p)), 0u);
  quit(p);
}
#endif

TEST(UciProtocol, GoDepthNotANumberSearchesDepthZero) {
  UciProcess p;
  handshake(p);
  std::vector<std::string> seen;
  ASSERT_TRUE(p.send("go depth x"));
  EXPECT_EQ(waitBestMove(p, &seen), "0000");
  for (const auto& l : seen) EXPECT_FALSE(l.starts_with("info depth")) << l;
  // The same for a value that ends the reading by overflow of a later keyword: depth 0 stays read.
  ASSERT_TRUE(p.send("go depth 0 movetime 99999999999"));
  EXPECT_EQ(waitBestMove(p), "0000");
  quit(p);
}

TEST(UciProtocol, EndOfInputDuringSearchPrintsBestmoveAndExits) {
  UciProcess p;
  handshake(p);
  ASSERT_TRUE(p.send("position startpos moves d2d4 d7d5"));
  ASSERT_TRUE(p.send("go infinite"));
  ASSERT_TRUE(p.readUntilPrefix("info depth", kTimeoutMs));
  p.closeInput();
  const std::string move = waitBestMove(p);
  EXPECT_NE(findLegal(positionOf(kStartFen, {"d2d4", "d7d5"}), move), 0u) << move;
  EXPECT_EQ(p.waitExit(kTimeoutMs), 0);
}

TEST(UciProtocol, QuitDuringSearchWithSeveralThreads) {
  UciProcess p;
  handshake(p);
  ASSERT_TRUE(p.send("setoption name Threads value 4"));
  ASSERT_TRUE(p.send("go infinite"));
  ASSERT_TRUE(p.readUntilPrefix("info depth", kTimeoutMs));
  ASSERT_TRUE(p.send("quit"));
  EXPECT_NE(findLegal(positionOf(kStartFen), waitBestMove(p)), 0u);
  EXPECT_EQ(p.waitExit(kTimeoutMs), 0);
}

TEST(UciProtocol, PerftOverUciLeavesThePositionAlone) {
  UciProcess p;
  handshake(p);
  ASSERT_TRUE(p.send("position startpos moves e2e4"));
  ASSERT_TRUE(p.send("perft 2"));
  std::vector<std::string> seen;
  ASSERT_TRUE(p.readUntilPrefix("Nodes searched: ", kTimeoutMs, &seen));
  EXPECT_EQ(seen.back(), "Nodes searched: 600");
  ASSERT_EQ(seen.size(), 22u);  // 20 moves, a blank line, the total
  EXPECT_EQ(seen[20], "");
  ASSERT_TRUE(p.send("perft"));
  seen.clear();
  ASSERT_TRUE(p.readUntilPrefix("Nodes searched: ", kTimeoutMs, &seen));
  EXPECT_EQ(seen.back(), "Nodes searched: 20");
  ASSERT_TRUE(p.send("d"));
  EXPECT_EQ(p.readLine(kTimeoutMs).value_or("<none>"),
            "fen: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  quit(p);
}

TEST(UciProtocol, BenchSearchOverUci) {
  UciProcess p;
  handshake(p);
  ASSERT_TRUE(p.send("benchsearch 2"));
  std::vector<std::string> seen;
  ASSERT_TRUE(p.readUntilPrefix("bench: ", kTimeoutMs, &seen));
  ASSERT_EQ(seen.size(), 11u);
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(seen[i].starts_with("pos " + std::to_string(i + 1) + " depth 2 ")) << seen[i];
  quit(p);
}

}  // namespace
}  // namespace e2e
