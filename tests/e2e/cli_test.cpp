// Command-line dispatch: subcommands, their argument errors, and the fall-back to the UCI loop.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "e2e_helpers.h"
#include "support/positions.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace e2e {
namespace {

using testsupport::lines;
using testsupport::runEngine;

constexpr const char* kDepthError = "perft: глибина має бути цілим числом >= 1\n";

// With these arguments the program must be in its UCI loop: it answers and exits with 0.
void expectUciLoop(const std::vector<std::string>& args) {
  const auto r = runEngine(args, "isready\nd\n", kTimeoutMs);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string("readyok\nfen: ") + kStartFen + "\n");
  EXPECT_EQ(r.err, "");
}

TEST(CommandLine, FallsBackToTheUciLoop) {
  expectUciLoop({});
  expectUciLoop({"unknown"});
  expectUciLoop({"PERFT", kStartFen, "1"});  // names are case-sensitive
  expectUciLoop({"perft", kStartFen});       // the depth is missing
  expectUciLoop({"perft"});
  expectUciLoop({"evaltrace"});
  expectUciLoop({"featureexport", "only-one-path"});
  expectUciLoop({"benchx"});
  expectUciLoop({"--Version"});
}

TEST(CommandLine, VersionNamesTheEngineAsTheUciHandshakeDoes) {
  const auto version = runEngine({"--version"}, "", kTimeoutMs);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.err, "");
  const auto handshake = runEngine({}, "uci\n", kTimeoutMs);
  ASSERT_EQ(handshake.out.rfind("id name ", 0), 0u);
  EXPECT_EQ(version.out, handshake.out.substr(8, handshake.out.find('\n') - 8 + 1));
  EXPECT_EQ(version.out, "Quorvane 0.11.0\n");
}

TEST(CommandLine, UciLoopWithNoInputExitsCleanly) {
  const auto r = runEngine({}, "", kTimeoutMs);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
}

// Refused arguments: exit status 1, nothing on standard output, the reason on standard error. The
// depth is checked first, so even a bad FEN gives the depth message; a depth the undo stack cannot
// hold (one record a ply) must not run at all.
TEST(CommandLine, PerftRefusesBadDepthsAndFens) {
  const struct {
    const char* fen;
    const char* depth;
    const char* err;
  } cases[] = {
      {kStartFen, "0", kDepthError},
      {kStartFen, "-2", kDepthError},
      {kStartFen, "2x", kDepthError},
      {kStartFen, "", kDepthError},
      {kStartFen, " ", kDepthError},
      {kStartFen, "1 2", kDepthError},
      {kStartFen, "99999999999", kDepthError},
      {"not a fen", "0", kDepthError},
      {"not a fen", "2x", kDepthError},
      {kStartFen, "2000", "perft: глибина має бути цілим числом від 1 до 1023\n"},
      {"", "1", "невалідний FEN\n"},
      {"8/8/8/8/8/8/8/8 w - - 0 1", "1", "невалідний FEN\n"},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w", "1", "невалідний FEN\n"},
  };
  for (const auto& c : cases) {
    const auto r = runEngine({"perft", c.fen, c.depth}, "", kTimeoutMs);
    EXPECT_EQ(r.status, 1) << c.fen << " [" << c.depth << "]";
    EXPECT_EQ(r.out, "") << c.fen << " [" << c.depth << "]";
    EXPECT_EQ(r.err, c.err) << c.fen << " [" << c.depth << "]";
  }
}

TEST(CommandLine, PerftDepthFormsAccepted) {
  for (const char* depth : {"3", " 3 ", "+3", "03"}) {
    const auto r = runEngine({"perft", kStartFen, depth, "ignored", "extra"}, "", kTimeoutMs);
    EXPECT_EQ(r.status, 0) << depth;
    const auto l = lines(r.out);
    ASSERT_EQ(l.size(), 22u) << depth;
    EXPECT_EQ(l[20], "");
    EXPECT_EQ(l[21], "Nodes searched: 8902");
    EXPECT_EQ(r.err, "");
  }
}

TEST(CommandLine, PerftDepthOneListsTheLegalMoves) {
  const auto r = runEngine({"perft", kKiwipete, "1"}, "", kTimeoutMs);
  EXPECT_EQ(r.status, 0);
  const auto l = lines(r.out);
  ASSERT_EQ(l.size(), 48u + 2u);
  for (int i = 0; i < 48; ++i) {
    EXPECT_EQ(l[i].size(), std::string("e1g1: 1").size()) << l[i];
    EXPECT_EQ(l[i].substr(l[i].size() - 3), ": 1") << l[i];
  }
  EXPECT_EQ(l[49], "Nodes searched: 48");
}

TEST(CommandLine, PerftWithoutLegalMoves) {
  for (const char* fen : {kWhiteMated, kStalemate}) {
    const auto r = runEngine({"perft", fen, "2"}, "", kTimeoutMs);
    EXPECT_EQ(r.status, 0) << fen;
    EXPECT_EQ(r.out, "\nNodes searched: 0\n") << fen;
  }
}

TEST(CommandLine, HelpListsTheSubcommands) {
  const auto help = runEngine({"--help"}, "", kTimeoutMs);
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  const auto l = lines(help.out);
  const char* names[] = {"perft",   "bench",         "benchsearch", "evaltrace", "egscale",
                         "datagen", "featureexport", "tuneparams",  "--version"};
  ASSERT_EQ(l.size(), std::size(names) + 1) << help.out;
  for (std::size_t i = 0; i < std::size(names); ++i)
    EXPECT_TRUE(l[i + 1].starts_with(std::string("  ") + names[i] + " ")) << l[i + 1];
  EXPECT_EQ(runEngine({"-h"}, "", kTimeoutMs).out, help.out);
}

// Results that never reached their file (here a full disk) must not pass for success.
TEST(CommandLine, FailedWritesOfStandardOutputAreErrors) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  testsupport::TempDir dir;
  const std::string fen = "'8/8/3k4/8/8/3K4/8/8 w - - 0 1'";
  for (const std::string& args : std::vector<std::string>{
           "tuneparams", "perft " + fen + " 1", "evaltrace " + fen, "egscale", "benchsearch 1"}) {
    const std::string command =
        "echo " + fen + " | " + QUORVANE_BIN + " " + args + " >/dev/full 2>" + dir.file("err");
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << args;
    const std::string name = args.substr(0, args.find(' '));
    std::ifstream err(dir.file("err"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(err), {}),
              name + ": помилка запису: стандартний вивід\n");
  }
}

}  // namespace
}  // namespace e2e
