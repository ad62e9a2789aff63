// The tuner's evaluation against the engine's: with the engine's own values it must give evaluate's
// score exactly (White's view), both for lines made in-process and for the files the real datagen
// and featureexport commands wrote. Also the gradient against finite differences.
#include "tools/tune/model.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "formats/data_line.h"
#include "tools/tune/trainer.h"
#include "tunetool_env.h"

using namespace TuneTool;
using tunetest::TempDir;

namespace {

using tunetest::defaults;

TEST(TunerEvaluation, EqualsEvaluateOnRandomWalkPositions) {
  const std::vector<int> v = defaults();
  const std::vector<double> real(v.begin(), v.end());
  DataSet data;
  std::vector<tunetest::WalkSample> samples;
  for (std::uint64_t seed : {11u, 12u}) {
    auto s = tunetest::walkSamples(seed, 160);
    samples.insert(samples.end(), s.begin(), s.end());
  }
  for (const auto& s : samples) data.add(s.line);
  ASSERT_GT(samples.size(), 2000u);
  int mismatches = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const std::int64_t e = evaluateExact(data, i, v.data());
    if (e != samples[i].whiteEval && ++mismatches <= 5)
      ADD_FAILURE() << samples[i].fen << ": tuner " << e << ", evaluate " << samples[i].whiteEval;
    // The optimiser's smooth version differs only by the two truncations (each less than 1).
    EXPECT_NEAR(evaluateReal(data, i, real.data()), static_cast<double>(e), 2.0) << samples[i].fen;
  }
  EXPECT_EQ(mismatches, 0);
}

// The data file read directly gives the export's features, plus the clock (so the engine's own
// evaluation with its fifty-move damping) and the search score.
TEST(TunerEvaluation, EqualsEvaluateOnADatagenFileAndItsExport) {
  TempDir dir;
  const std::string games = dir.file("games.txt"), features = dir.file("features.txt");
  ASSERT_EQ(
      tunetest::runCommand(std::string(QUORVANE_BIN) +
                           " datagen games=2 nodes=300 maxdepth=4 out=" + games + " 2>/dev/null"),
      0);
  ASSERT_EQ(tunetest::runCommand(std::string(QUORVANE_BIN) + " featureexport " + games + " " +
                                 features + " 2>/dev/null"),
            0);
  DataSet exported, direct;
  LoadReport report;
  std::string error;
  ASSERT_TRUE(loadFeatureFiles({features}, exported, report, error)) << error;
  ASSERT_TRUE(loadFiles({games}, FileFormat::Auto, {}, direct, report, error)) << error;
  EXPECT_EQ(report.malformed, 0u) << malformedSummary(report);
  EXPECT_EQ(report.dataFiles, 1u);

  std::vector<DataLine::Sample> samples;
  for (const std::string& line : testsupport::lines(tunetest::readFile(games))) {
    samples.emplace_back();
    ASSERT_TRUE(DataLine::parse(line, samples.back())) << line;
  }
  ASSERT_GT(samples.size(), 20u);
  ASSERT_EQ(exported.size(), samples.size());
  ASSERT_EQ(direct.size(), samples.size());

  const std::vector<int> v = defaults();
  auto board = std::make_unique<Board>();
  int withClock = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const std::string& fen = samples[i].fen;
    ASSERT_TRUE(board->setFen(fen)) << fen;
    withClock += board->halfmoveClock > 0;
    const int e = evaluate(*board);
    EXPECT_EQ(evaluateExact(direct, i, v.data()), board->side == White ? e : -e) << fen;
    EXPECT_EQ(direct.score(i), samples[i].score) << fen;
    EXPECT_EQ(direct.result(i), static_cast<float>(samples[i].result)) << fen;
    ASSERT_TRUE(board->setFen(tunetest::withClockZero(fen))) << fen;
    const int e0 = evaluate(*board);
    EXPECT_EQ(evaluateExact(exported, i, v.data()), board->side == White ? e0 : -e0) << fen;
    EXPECT_EQ(exported.result(i), direct.result(i)) << fen;
    EXPECT_EQ(exported.score(i), kNoScore);
    // Same features: the same evaluation at clock 0.
    ASSERT_EQ(direct.end(i) - direct.begin(i), exported.end(i) - exported.begin(i)) << fen;
    EXPECT_TRUE(std::equal(direct.begin(i), direct.end(i), exported.begin(i),
                           [](const Entry& a, const Entry& b) {
                             return a.index == b.index && a.mg == b.mg && a.eg == b.eg;
                           }))
        << fen;
  }
  EXPECT_GT(withClock, 0);  // the damping was exercised
}

TEST(TunerEvaluation, BlendsMiddlegameAndScaledEndgameWithTruncation) {
  DataSet data;
  // mg = 100 + 2 * v[0], eg = -50 + v[5]; phase 10, scale 48.
  data.add(tunetest::parsed("1 10 48 100 -50 2 0 2 0 5 0 1"));
  std::vector<int> v(Tune::NPARAMS, 0);
  v[0] = 7;
  v[5] = 9;
  // (114 * 10 + ((-41 * 48) / 64) * 14) / 24 = (1140 + (-30) * 14) / 24 = 720 / 24
  EXPECT_EQ(evaluateExact(data, 0, v.data()), 30);
  v[5] = 8;  // eg = -42: -42 * 48 / 64 = -31.5, truncated towards 0
  EXPECT_EQ(evaluateExact(data, 0, v.data()), (1140 + (-31) * 14) / 24);
  const std::vector<double> real(v.begin(), v.end());
  EXPECT_DOUBLE_EQ(evaluateReal(data, 0, real.data()), (1140.0 + (-42.0 * 48 / 64) * 14) / 24);
  // Any vector, far beyond the ranges a listing may give: the products are 64-bit.
  v[0] = INT_MAX;
  EXPECT_EQ(evaluateExact(data, 0, v.data()),
            ((100 + 2 * std::int64_t{INT_MAX}) * 10 + (-42 * 48 / 64) * 14) / 24);
  EXPECT_DOUBLE_EQ(sigmoid(0, 1.3), 0.5);
  EXPECT_NEAR(sigmoid(400, 1.0), 10.0 / 11.0, 1e-12);
  EXPECT_NEAR(sigmoid(-400, 2.0), 1.0 / 101.0, 1e-12);
}

TEST(TunerGradient, MatchesFiniteDifferencesOfTheLoss) {
  const auto samples = tunetest::walkSamples(5, 60);
  DataSet data;
  testsupport::WalkRng rng(99);
  for (auto s : samples) {
    s.line.result = static_cast<float>(rng.below(3)) / 2.0f;
    s.line.clock = static_cast<std::uint8_t>(rng.below(100));  // data files' fifty-move damping
    data.add(s.line);
  }
  std::vector<std::uint32_t> all(data.size());
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint32_t>(i);
  const std::vector<int> v = defaults();
  LanePool pool(2);
  const double k = 0.9;
  Trainer trainer(data, all, TrainConfig{}, v.data(), {}, k, pool);
  const std::vector<double> grad = trainer.gradient(all);
  const std::vector<bool> active = data.activeParams();
  int checked = 0;
  for (int i : {0, 1, 8, Tune::kPstMg + 64 * Knight + 27, Tune::kPawnEg + 20,
                Tune::kMobEgStart[Rook] + 7, Tune::kBishopPairIdx, Tune::kRookOpenEgIdx,
                Tune::kPassedEgIdx + 4, Tune::kKsSafetyIdx + 3, Tune::kKsOpenFileIdx}) {
    if (!active[static_cast<std::size_t>(i)]) continue;
    ++checked;
    std::vector<double> plus(v.begin(), v.end()), minus(v.begin(), v.end());
    const double h = 0.05;
    plus[static_cast<std::size_t>(i)] += h;
    minus[static_cast<std::size_t>(i)] -= h;
    const double numeric =
        (meanLoss(pool, data, all, plus.data(), k) - meanLoss(pool, data, all, minus.data(), k)) /
        (2 * h);
    EXPECT_NEAR(grad[static_cast<std::size_t>(i)], numeric, 1e-6 * std::abs(numeric) + 1e-12)
        << Tune::paramName(i);
  }
  EXPECT_GE(checked, 8);
  // A parameter without coefficients has no gradient.
  EXPECT_EQ(grad[Tune::kPstEgDelta], 0.0);
}

}  // namespace
