// Match statistics against figures worked outside the program (the pentanomial formulas evaluated
// step by step in a separate script), for a few count vectors.
#include <gtest/gtest.h>

#include <cmath>

#include "tools/match/stats.h"

using namespace Match;

namespace {

struct Case {
  Pentanomial counts;
  double elo, error, los, nelo, llr0to5, nllr0to5;
};

// elo = -400 log10(1/mu - 1) with mu the mean pair score per game; error = half the Elo width of
// mu +- 1.959964 sqrt(var/N); LOS = Phi((mu - 0.5) / sqrt(var/N)); the LLRs for elo0=0, elo1=5,
// logistic and normalised, each count raised to at least 1e-3.
const Case kCases[] = {
    {{2, 5, 10, 5, 2}, 0.0, 73.411563, 0.5, 0.0, -0.009173, -0.004970},
    {{10, 40, 90, 60, 20}, 31.672498, 22.794149, 0.996951, 45.425149, 1.059760, 0.755226},
    {{0, 3, 20, 12, 5}, 84.122144, 46.293659, 0.999903, 144.812192, 0.571342, 0.326618},
    {{100, 300, 1000, 350, 50}, -4.825805, 6.686070, 0.078534, -8.193689, -3.175404, -1.606771},
};

TEST(MatchStats, WorkedVectors) {
  for (const Case& c : kCases) {
    const Estimate e = estimate(c.counts);
    EXPECT_NEAR(e.elo, c.elo, 1e-5) << c.counts[0];
    EXPECT_NEAR(e.error, c.error, 1e-5) << c.counts[0];
    EXPECT_NEAR(e.los, c.los, 1e-6) << c.counts[0];
    EXPECT_NEAR(e.nelo, c.nelo, 1e-5) << c.counts[0];
    SprtSettings s;
    s.enabled = true;
    s.elo0 = 0;
    s.elo1 = 5;
    EXPECT_NEAR(llr(c.counts, s), c.llr0to5, 1e-5) << c.counts[0];
    s.normalized = true;
    EXPECT_NEAR(llr(c.counts, s), c.nllr0to5, 1e-5) << c.counts[0];
  }
}

TEST(MatchStats, BoundsAndDecisions) {
  SprtSettings s;
  s.enabled = true;
  EXPECT_NEAR(s.lowerBound(), -2.944439, 1e-6);  // ln(0.05 / 0.95)
  EXPECT_NEAR(s.upperBound(), 2.944439, 1e-6);
  EXPECT_EQ(sprtState(3.0, s), SprtState::AcceptH1);
  EXPECT_EQ(sprtState(-3.0, s), SprtState::AcceptH0);
  EXPECT_EQ(sprtState(0.5, s), SprtState::Continue);
  // The last vector crosses the lower bound: the change is rejected.
  EXPECT_EQ(sprtState(llr(kCases[3].counts, s), s), SprtState::AcceptH0);
}

TEST(MatchStats, DegenerateCounts) {
  EXPECT_EQ(llr({0, 0, 0, 0, 0}, SprtSettings{}), 0.0);
  EXPECT_TRUE(std::isinf(estimate({0, 0, 0, 0, 0}).error));
  const Estimate sweep = estimate({0, 0, 0, 0, 3});
  EXPECT_TRUE(std::isinf(sweep.elo) && sweep.elo > 0);
  EXPECT_EQ(sweep.los, 1.0);
}

}  // namespace
