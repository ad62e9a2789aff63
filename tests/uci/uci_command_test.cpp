// The UCI command handlers driven in-process: option clamping, position building, rejected input.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "movegen/movegen.h"
#include "search/search.h"
#include "support/capture.h"
#include "support/startup.h"
#include "search/thread.h"
#include "timeman/timeman.h"
#include "tt/tt.h"
#include "uci/uci.h"

namespace {

const auto* const kStartUp = testsupport::startUp([] {
  initEngineTables();
  gTT.resize(1);
  gThreads.set(1);
  gPos.setFen(kStartFen);
});

// Runs one command and returns what it wrote on standard output.
std::string run(const std::string& line) {
  std::string out, err;
  {
    testsupport::StreamCapture outCapture(std::cout), errCapture(std::cerr);
    uciCommand(line);
    out = outCapture.text();
    err = errCapture.text();
  }
  // Every report on standard output also goes, without its prefix, to standard error.
  std::string expectedErr;
  for (std::size_t pos = 0; (pos = out.find("info string ", pos)) != std::string::npos;) {
    const std::size_t end = out.find('\n', pos);
    expectedErr += out.substr(pos + 12, end - pos - 12) + "\n";
    pos = end;
  }
  EXPECT_EQ(err, expectedErr);
  return out;
}

std::string fenOf(const Board& b) { return b.fen(); }

TEST(UciOptions, ThreadsAreClampedAndBadValuesKeepTheCount) {
  EXPECT_EQ(run("setoption name Threads value 300"), "");
  EXPECT_EQ(gThreadCount, 256);
  EXPECT_EQ(gThreads.size(), 256u);

  EXPECT_EQ(run("setoption name Threads value abc"),
            "info string setoption threads: некоректне значення \"abc\" — опцію не змінено\n");
  EXPECT_EQ(gThreadCount, 256);
  EXPECT_EQ(gThreads.size(), 256u);

  run("setoption name threads value 0");
  EXPECT_EQ(gThreadCount, 1);
  EXPECT_EQ(gThreads.size(), 1u);
  run("setoption name THREADS value 3");
  EXPECT_EQ(gThreads.size(), 3u);
  run("setoption name Threads value -7");
  EXPECT_EQ(gThreads.size(), 1u);
  EXPECT_EQ(gThreadCount, 1);
}

TEST(UciOptions, MoveOverheadIsClamped) {
  run("setoption name Move Overhead value -5");
  EXPECT_EQ(gMoveOverhead.load(), 0);
  run("setoption name move overhead value 99999");
  EXPECT_EQ(gMoveOverhead.load(), 5000);
  // Name tokens are joined by single blanks, whatever the spacing.
  run("setoption name Move    Overhead value  30 ");
  EXPECT_EQ(gMoveOverhead.load(), 30);
  EXPECT_EQ(run("setoption name Move Overhead value 12 MB"),
            "info string setoption move overhead: некоректне значення \"12 MB\" — опцію не змінено\n");
  EXPECT_EQ(gMoveOverhead.load(), 30);
  run("setoption name Move Overhead value 10");
  EXPECT_EQ(gMoveOverhead.load(), 10);
}

TEST(UciOptions, HashIsClampedToAtLeastOneMegabyte) {
  run("setoption name Hash value 0");
  EXPECT_EQ(gTT.bucketCount(), (1u << 20) / sizeof(TTBucket));
  run("setoption name hash value 2");
  EXPECT_EQ(gTT.bucketCount(), (2u << 20) / sizeof(TTBucket));
  EXPECT_EQ(run("setoption name Hash value 12 MB"),
            "info string setoption hash: некоректне значення \"12 MB\" — опцію не змінено\n");
  EXPECT_EQ(gTT.bucketCount(), (2u << 20) / sizeof(TTBucket));
  EXPECT_EQ(run("setoption name Hash"),
            "info string setoption hash: некоректне значення \"\" — опцію не змінено\n");
  run("setoption name Hash value -4");
  EXPECT_EQ(gTT.bucketCount(), (1u << 20) / sizeof(TTBucket));
  // An idle engine answers "isready" with the new table's pages in memory.
  EXPECT_FALSE(gTT.pagesResident());
  EXPECT_EQ(run("isready"), "readyok\n");
  EXPECT_TRUE(gTT.pagesResident());
}

TEST(UciOptions, UnknownNamesAreIgnoredSilently) {
  EXPECT_EQ(run("setoption name Ponder value true"), "");
  EXPECT_EQ(run("setoption name Hashes value x"), "");
  EXPECT_EQ(run("setoption"), "");
  EXPECT_EQ(run("setoption name"), "");
}

TEST(UciPosition, ErrorsKeepThePreviousPosition) {
  run("position startpos moves e2e4");
  const std::string before = fenOf(gPos);
  EXPECT_EQ(run("position"), "info string position: очікувалось startpos або fen — позицію не змінено\n");
  EXPECT_EQ(run("position fen"), "info string position fen: порожній FEN — позицію не змінено\n");
  EXPECT_EQ(run("position fen moves e2e4"), "info string position fen: порожній FEN — позицію не змінено\n");
  EXPECT_EQ(run("position fen 8/8/8/8/8/8/8/8 w - - 0 1"),
            "info string position fen: некоректний FEN \"8/8/8/8/8/8/8/8 w - - 0 1\" — позицію не змінено\n");
  EXPECT_EQ(run("position startingpos"),
            "info string position: невідомий аргумент \"startingpos\" — позицію не змінено\n");
  EXPECT_EQ(fenOf(gPos), before);
}

TEST(UciPosition, MoveErrorKeepsTheLegalPrefix) {
  EXPECT_EQ(run("position startpos moves e2e4 e7e5 e1e1 g1f3"),
            "info string position moves: хід \"e1e1\" нелегальний у цій позиції — решту ходів пропущено\n");
  EXPECT_EQ(fenOf(gPos), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2");
  EXPECT_EQ(run("position startpos moves e2e4 xyz"),
            "info string position moves: хід \"xyz\" нелегальний у цій позиції — решту ходів пропущено\n");
  EXPECT_EQ(fenOf(gPos), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  // Pseudo-legal but leaves the king in check: rejected too.
  run("position fen 4k3/8/8/8/8/8/4r3/4K2R w K - 0 1 moves e1g1");
  EXPECT_EQ(fenOf(gPos), "4k3/8/8/8/8/8/4r3/4K2R w K - 0 1");
  run("position fen 4k3/4r3/8/8/8/8/4B3/4K3 w - - 0 1 moves e2d3");  // pinned bishop
  EXPECT_EQ(fenOf(gPos), "4k3/4r3/8/8/8/8/4B3/4K3 w - - 0 1");
}

TEST(UciPosition, OtherTokenAfterThePositionIsIgnored) {
  run("position startpos e2e4");
  EXPECT_EQ(fenOf(gPos), kStartFen);
  run("position fen 4k3/8/8/8/8/8/8/4K3 b - - 7 40 extra");
  EXPECT_EQ(fenOf(gPos), "4k3/8/8/8/8/8/8/4K3 b - - 7 40");
  run("position startpos moves");
  EXPECT_EQ(fenOf(gPos), kStartFen);
}

TEST(UciPosition, PromotionsMatchThePiece) {
  const char* fen = "position fen 8/4P1k1/8/8/8/8/8/4K3 w - - 0 1 moves ";
  run(std::string(fen) + "e7e8n");
  EXPECT_EQ(fenOf(gPos), "4N3/6k1/8/8/8/8/8/4K3 b - - 0 1");
  run(std::string(fen) + "e7e8r");
  EXPECT_EQ(fenOf(gPos), "4R3/6k1/8/8/8/8/8/4K3 b - - 0 1");
  // An upper-case piece letter is not a move.
  EXPECT_NE(run(std::string(fen) + "e7e8Q").find("\"e7e8Q\""), std::string::npos);
  // A promotion letter on a move that is no promotion is rejected.
  EXPECT_NE(run("position startpos moves e2e4q").find("\"e2e4q\""), std::string::npos);
  EXPECT_EQ(fenOf(gPos), kStartFen);
  // Without a letter, the first generated move between the two squares is taken.
  run(std::string(fen) + "e7e8");
  EXPECT_EQ(gPos.side, Black);
  EXPECT_EQ(gPos.mailbox[60] != Pawn && gPos.mailbox[60] != NoPiece, true);
}

TEST(UciPosition, CastlingAndEnPassantFromTheirUciText) {
  run("position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves e1g1 e8c8");
  EXPECT_EQ(fenOf(gPos), "2kr3r/8/8/8/8/8/8/R4RK1 w - - 2 2");
  run("position startpos moves e2e4 a7a6 e4e5 d7d5 e5d6");
  EXPECT_EQ(fenOf(gPos), "rnbqkbnr/1pp1pppp/p2P4/8/8/8/PPPP1PPP/RNBQKBNR b KQkq - 0 3");
}

// A game far longer than the undo stack: knights shuffle back and forth.
std::string knightShuffle(int cycles) {
  std::string moves;
  for (int i = 0; i < cycles; ++i) moves += " g1f3 g8f6 f3g1 f6g8";
  return moves;
}

TEST(UciPosition, LongGamesAreTrimmedToTheReachableHistory) {
  run("position startpos moves" + knightShuffle(400));  // 1600 plies
  EXPECT_EQ(fenOf(gPos), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 255 801");
  EXPECT_LE(gPos.historySize, 256);
  EXPECT_GE(gPos.historySize, 4);

  // After a pawn move only the records since it can matter; the later ones must all be there.
  run("position startpos moves" + knightShuffle(300) + " e2e4 e7e5" + knightShuffle(3));
  EXPECT_EQ(fenOf(gPos), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 12 608");
  EXPECT_GE(gPos.historySize, 12);
  EXPECT_LE(gPos.historySize, 256);
  // The same position four and eight plies back; twelve back is the one after e7e5, which still
  // carried its en-passant square.
  EXPECT_EQ(gPos.history[gPos.historySize - 4].key, gPos.key);
  EXPECT_EQ(gPos.history[gPos.historySize - 8].key, gPos.key);
  EXPECT_NE(gPos.history[gPos.historySize - 12].key, gPos.key);
}

TEST(UciPerft, DepthOutOfRangeIsRejectedAndKeepsThePosition) {
  run("position startpos moves e2e4");
  const std::string before = fenOf(gPos);
  for (const char* cmd : {"perft 0", "perft -2", "perft x", "perft 100000"}) {
    const std::string out = run(cmd);
    EXPECT_EQ(out.rfind("info string perft: глибина має бути цілим числом від 1 до ", 0), 0u) << cmd;
    EXPECT_EQ(out.find("Nodes searched"), std::string::npos) << cmd;
  }
  EXPECT_EQ(fenOf(gPos), before);
}

TEST(UciPerft, DividesOnTheCurrentPosition) {
  run("position startpos moves e2e4");
  const std::string before = fenOf(gPos);
  const int historyBefore = gPos.historySize;
  const std::string out = run("perft");  // depth 1 by default
  EXPECT_NE(out.find("e7e5: 1\n"), std::string::npos);
  EXPECT_NE(out.find("\nNodes searched: 20\n"), std::string::npos);
  EXPECT_NE(run("perft 2").find("\nNodes searched: 600\n"), std::string::npos);
  EXPECT_NE(run("perft 2x").find("\nNodes searched: 600\n"), std::string::npos);
  EXPECT_EQ(fenOf(gPos), before);
  EXPECT_EQ(gPos.historySize, historyBefore);
}

TEST(UciGo, MissingValuesReadLikeUnreadableOnes) {
  const struct {
    const char* line;
    int depth, movetime;
    i64 nodes;
    int wtime, btime;
    bool wGiven, bGiven;
  } cases[] = {
      {"go depth", 0, -1, 0, -1, -1, false, false},
      {"go depth x", 0, -1, 0, -1, -1, false, false},
      {"go movetime  ", 100, 0, 0, -1, -1, false, false},
      {"go depth 3 nodes", 3, -1, 0, -1, -1, false, false},
      {"go wtime", 100, -1, 0, 0, -1, true, false},
      {"go btime -20 wtime 99999999999 depth 2", 100, -1, 0, INT_MAX, -20, true, true},
  };
  for (const auto& c : cases) {
    run("go depth 1");  // a search that left other limits at their defaults
    run(c.line);
    // The pool's copy: the main thread only reads it, and startThinking wrote it on this thread.
    const SearchLimits& l = gThreads[0].limits;
    EXPECT_EQ(l.depth, c.depth) << c.line;
    EXPECT_EQ(l.movetime, c.movetime) << c.line;
    EXPECT_EQ(l.nodes, c.nodes) << c.line;
    EXPECT_EQ(l.wtime, c.wtime) << c.line;
    EXPECT_EQ(l.btime, c.btime) << c.line;
    EXPECT_EQ(l.clockGiven[White], c.wGiven) << c.line;
    EXPECT_EQ(l.clockGiven[Black], c.bGiven) << c.line;
    run("stop");
  }
}

TEST(UciMisc, NewGameDisplayAndUnknownCommands) {
  run("position startpos moves d2d4");
  EXPECT_EQ(run("d"), "fen: rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR b KQkq d3 0 1\n");
  EXPECT_EQ(run("ucinewgame"), "");
  EXPECT_EQ(run("d"), std::string("fen: ") + kStartFen + "\n");
  EXPECT_EQ(run("isready"), "readyok\n");
  EXPECT_EQ(run("Isready"), "");
  EXPECT_EQ(run("foo bar"), "");
  EXPECT_EQ(run(""), "");
  EXPECT_EQ(run("   \r"), "");
  EXPECT_EQ(run("isready \r\n"), "readyok\n");
  EXPECT_EQ(run("\tisready"), "readyok\n");  // leading white space only separates tokens
  EXPECT_TRUE(uciCommand("stop"));
  EXPECT_FALSE(uciCommand("quit"));
  EXPECT_FALSE(uciCommand("quit now"));
}

TEST(UciMisc, UciBlock) {
  EXPECT_EQ(run("uci"),
            "id name Quorvane 0.11.0\n"
            "id author the Quorvane developers\n"
            "option name Hash type spin default 64 min 1 max 65536\n"
            "option name Threads type spin default 1 min 1 max 256\n"
            "option name Move Overhead type spin default 10 min 0 max 5000\n"
            "uciok\n");
}

}  // namespace
