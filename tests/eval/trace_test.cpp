// The evaluation trace layout and the consistency checks of incremental and cached values.
#include "eval/trace.h"

#include "eval_test_env.h"
#include "support/capture.h"
#include "support/positions.h"
#include "support/random_walk.h"

using namespace evaltest;

namespace {

std::string traceOf(const std::string& fen) {
  auto b = boardFrom(fen);
  testsupport::StreamCapture capture;
  setEvalTrace(true);
  const int v = evaluate(*b);
  setEvalTrace(false);
  const std::string out = capture.text();
  EXPECT_EQ(v, evaluate(*b));
  return out;
}

const char* const kStartTrace =
    "eval trace (з точки зору білих, mg / eg):\n"
    "  material+psqt    0 /  0\n"
    "  king             0 /  0\n"
    "  bishop pair      0 /  0\n"
    "  mobility         0 /  0\n"
    "  king safety      0 /  0\n"
    "  rooks (files)    0 /  0\n"
    "  pawns            0 /  0\n"
    "  ----------------\n"
    "  total            0 /  0\n"
    "  phase           24 / 24\n"
    "  eg scale        64 / 64\n"
    "  final (white)   0\n"
    "  final (stm=w)      0\n";

TEST(EvalTrace, InitialPositionLayout) { EXPECT_EQ(traceOf(kStartFen), kStartTrace); }

TEST(EvalTrace, RookEndingWithBlackToMove) { EXPECT_EQ(traceOf(kRookEnding), kRookEndingTrace); }

TEST(EvalTrace, NegativeColumnsAndStmLineOfTheMirror) {
  // The colour-flipped rook ending: every White-view number negated, White to move.
  const std::string t = traceOf("r3k3/8/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_NE(t.find("  material+psqt   -481 / -623\n"), std::string::npos) << t;
  EXPECT_NE(t.find("  rooks (files)   -51 /  3\n"), std::string::npos) << t;
  EXPECT_NE(t.find("  total           -552 / -701\n"), std::string::npos) << t;
  EXPECT_NE(t.find("  final (white)   -688\n  final (stm=w)      -688\n"), std::string::npos) << t;
}

TEST(EvalTrace, SilentWhenTheFlagIsOff) {
  testsupport::StreamCapture capture;
  evaluate(*boardFrom(kStartFen));
  EXPECT_EQ(capture.text(), "");
  EXPECT_FALSE(gEvalTrace);
}

TEST(EvalTrace, WideNumbersAndBlackToMove) {
  testsupport::StreamCapture capture;
  const ScorePair t[8] = {{1, -2}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {-30000, 30000}, {5, 6}};
  traceEval(t, 0, 8, -7, Black);
  const std::string out = capture.text();
  EXPECT_NE(out.find("  material+psqt    1 / -2\n"), std::string::npos);
  EXPECT_NE(out.find("  pawns           -30000 /  30000\n"), std::string::npos);
  EXPECT_NE(out.find("  phase           0 / 24\n  eg scale        8 / 64\n"), std::string::npos);
  EXPECT_NE(out.find("  final (white)   -7\n  final (stm=b)      7\n"), std::string::npos);
}

void expectStateConsistent(const Board& b) {
  int v[10];
  evalStateCheck(b, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(v[i], v[i + 5]) << "field " << i << " " << b.fen();
  int p[4];
  evalPawnsCheck(b, p[0], p[1], p[2], p[3]);
  ASSERT_EQ(p[0], p[2]) << b.fen();
  ASSERT_EQ(p[1], p[3]) << b.fen();
}

TEST(ConsistencyChecks, InitialPositionValues) {
  int v[10];
  evalStateCheck(*boardFrom(kStartFen), v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]);
  EXPECT_EQ(v[0], 0);
  EXPECT_EQ(v[1], 0);
  EXPECT_EQ(v[2], 2 * 380 + 2 * 374 + 2 * 493 + 1283);
  EXPECT_EQ(v[3], v[2]);
  EXPECT_EQ(v[4], 24);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(v[i], v[i + 5]);
}

TEST(ConsistencyChecks, EqualPairsAlongRandomWalksWithMakeAndUnmake) {
  int checked = 0;
  testsupport::randomWalks(11, 140, [&](Board& b) {
    expectStateConsistent(b);
    MoveList moves;
    generateLegalMoves(b, moves);
    for (const Move m : moves) {
      b.makeMove(m);
      expectStateConsistent(b);
      b.unmakeMove(m);
      expectStateConsistent(b);
      ++checked;
    }
    if (!b.inCheck()) {
      b.makeNullMove();
      expectStateConsistent(b);
      b.unmakeNullMove();
    }
  });
  EXPECT_GT(checked, 10000);
}

}  // namespace
