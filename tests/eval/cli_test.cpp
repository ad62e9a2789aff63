// The "evaltrace" and "egscale" subcommands of the real binary.
#include <gtest/gtest.h>

#include <string>

#include "eval_test_env.h"
#include "support/positions.h"
#include "support/uci_process.h"

namespace {

using testsupport::runEngine;

TEST(EvalTraceCommand, PrintsTheTableAndExitsZero) {
  const auto r = runEngine({"evaltrace", kRookEnding});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, evaltest::kRookEndingTrace);
  EXPECT_EQ(r.err, "");
}

TEST(EvalTraceCommand, InitialPositionTotalsAreZero) {
  const auto r = runEngine({"evaltrace", kStartFen});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("  total            0 /  0\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  final (white)   0\n  final (stm=w)      0\n"), std::string::npos) << r.out;
}

TEST(EvalTraceCommand, BadFenFailsWithTheMessage) {
  const auto r = runEngine({"evaltrace", "not a fen"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "невалідний FEN\n");
}

TEST(EgScaleCommand, OneLinePerInputLine) {
  const auto r = runEngine({"egscale"},
                          "8/8/8/4k3/8/8/4P3/4K3 w - - 0 1\n"  // the defender holds the key squares
                          "k7/8/8/8/P7/8/2K5/8 w - - 0 1 ; rook pawn, defender in the corner\n"
                          "garbage\n"
                          "4k3/8/8/8/8/8/8/1N2K1N1 w - - 0 1;two knights\n"
                          "4k3/p4b2/8/8/8/8/P7/2B1K3 w - - 0 1\n"
                          "\n"
                          "4k3/8/8/8/8/8/8/R3K1n1 w - - 0 1");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "0\n0\nerr\n0\n32\nerr\n8\n");
  EXPECT_EQ(r.err, "");
}

TEST(EgScaleCommand, EmptyInputPrintsNothing) {
  const auto r = runEngine({"egscale"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
}

TEST(EgScaleCommand, StrongSideFollowsTheFinalWhiteViewScore) {
  // Black is the side with the pawn and far ahead: its view decides the rule set.
  const auto r = runEngine({"egscale"}, "3bk3/8/7p/8/8/8/8/6K1 w - - 0 1\n3bk3/8/7p/8/8/8/8/3K4 w - - 0 1\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "0\n64\n");
}

}  // namespace
