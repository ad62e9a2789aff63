// The engine built from another listing (tests/CMakeLists.txt makes it from the built-in one with
// other material values, a knight square, an endgame delta and a mobility entry): it prints that
// listing, and its evaluation is the one the listing describes. The end-game rules of
// endgame_test.cpp run in this build too.
#include "eval/params.h"
#include "psqt/psqt.h"
#include "eval_test_env.h"
#include "support/capture.h"
#include "support/temp_dir.h"
#include "tune/tune.h"

namespace {

TEST(AlteredListing, TuneparamsPrintsItAndTheEvaluationFollowsIt) {
  const std::string listing = testsupport::readFile(QUORVANE_ALTERED_LISTING);
  {
    testsupport::StreamCapture capture;
    runTuneParams();
    EXPECT_EQ(capture.text(), listing);
  }
  EXPECT_NE(listing.find("\n1 matMg_N 350\n"), std::string::npos);

  // The reconstruction from this vector equals evaluate, which reads the tables.
  testsupport::StreamCapture verify;
  EXPECT_EQ(runTuneVerify(), 0);
  EXPECT_EQ(verify.text(), "21/21 tune reconstruct tests passed\n");

  // Knight on e4 (table index 36): the changed square and its endgame delta reach the Board's sums.
  EXPECT_EQ(kPsq[0][White][Knight][28], 350 + 40);
  EXPECT_EQ(kPsq[1][White][Knight][28], EvalParams::kEgValue[Knight] + 40 + 25);
  EXPECT_EQ(kNonPawnValue[Rook], 520);

  // The evaluation's own gate lets the knight-and-bishop mate term through (see endgame_test.cpp).
  EvalBreakdown e;
  evalBreakdown(*evaltest::boardFrom("8/8/8/8/8/2K5/8/1k2BN2 w - - 0 1"), e);
  EXPECT_EQ(e.king.eg, EvalParams::kKingEG[18 ^ 56] - EvalParams::kKingEG[1] + 285);
}

}  // namespace
