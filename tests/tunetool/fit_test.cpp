// The fit on a synthetic data set made from a known vector and a known K: K is recovered, the loss
// falls towards its floor of 0 and the changed parameters move back towards their known values.
// Also the split, freezing and the independence of the result from the thread count.
#include <algorithm>
#include <cmath>
#include <set>

#include "tools/tune/model.h"
#include "tools/tune/freeze.h"
#include "tools/tune/trainer.h"
#include "tunetool_env.h"

using namespace TuneTool;

namespace {

using tunetest::defaults;

constexpr double kTrueK = 1.25;

// Parameters with features that no other parameter can stand in for, changed by a clear amount.
struct Change {
  int index;
  int delta;
};
const Change kChanges[] = {{Tune::kBishopPairIdx, 40}, {Tune::kRookOpenMgIdx, -35},
                           {Tune::kRookSemiEgIdx, 30}, {Tune::kPassedEgIdx + 5, 45},
                           {Tune::kDoubledEgIdx, -25}, {Tune::kIsolatedMgIdx, -20}};

std::vector<int> knownVector() {
  std::vector<int> v = defaults();
  for (const Change& c : kChanges) v[static_cast<std::size_t>(c.index)] += c.delta;
  return v;
}

// Random-walk positions labelled with the expected result under the known vector and K.
struct Synthetic {
  DataSet data;
  std::vector<std::uint32_t> all;
};

const Synthetic& synthetic() {
  static const Synthetic s = [] {
    Synthetic out;
    const std::vector<int> known = knownVector();
    const std::vector<double> real(known.begin(), known.end());
    DataSet scratch;
    for (std::uint64_t seed : {1u, 2u, 3u, 4u}) {
      for (auto& sample : tunetest::walkSamples(seed, 90)) {
        scratch = DataSet();
        scratch.add(sample.line);
        sample.line.result =
            static_cast<float>(sigmoid(evaluateReal(scratch, 0, real.data()), kTrueK));
        out.data.add(sample.line);
      }
    }
    for (std::size_t i = 0; i < out.data.size(); ++i)
      out.all.push_back(static_cast<std::uint32_t>(i));
    return out;
  }();
  return s;
}

TEST(FitK, RecoversTheKnownScale) {
  const Synthetic& s = synthetic();
  ASSERT_GT(s.data.size(), 2500u);
  const std::vector<int> known = knownVector();
  const std::vector<double> real(known.begin(), known.end());
  LanePool pool(2);
  const double k = fitK(pool, s.data, s.all, real.data());
  EXPECT_NEAR(k, kTrueK, 1e-3);
  EXPECT_LT(meanLoss(pool, s.data, s.all, real.data(), k), 1e-9);
}

TEST(Fit, FromTheEngineValuesMovesTowardsTheKnownOnes) {
  const Synthetic& s = synthetic();
  const std::vector<int> start = defaults(), known = knownVector();
  const std::vector<double> startReal(start.begin(), start.end());
  LanePool pool(2);
  const double k = fitK(pool, s.data, s.all, startReal.data());
  EXPECT_NEAR(k, kTrueK, 0.2 * kTrueK);  // the wrong vector blurs K a little
  const double before = meanLoss(pool, s.data, s.all, startReal.data(), k);

  TrainConfig config;
  config.lr = 2.0;
  config.lrDecay = 0.95;
  config.batch = 512;
  Trainer trainer(s.data, s.all, config, start.data(), {}, k, pool);
  for (int e = 0; e < 60; ++e) trainer.epoch();
  const double after = meanLoss(pool, s.data, s.all, trainer.values().data(), k);
  // The floor is 0 (at the true K, the known vector explains every label exactly).
  EXPECT_LT(after, before / 100) << "before " << before << ", after " << after;
  // A few thousand positions leave many of the 1082 parameters free to absorb part of a change, so
  // the changed ones need not come all the way back; but each moves a good part of it.
  for (const Change& c : kChanges) {
    const double end = trainer.values()[static_cast<std::size_t>(c.index)];
    const double target = known[static_cast<std::size_t>(c.index)];
    EXPECT_LT(std::abs(end - target), 0.75 * std::abs(c.delta))
        << Tune::paramName(c.index) << ": start " << start[static_cast<std::size_t>(c.index)]
        << ", known " << target << ", tuned " << end;
  }
}

TEST(Fit, WithOnlyTheChangedParametersFreeItRecoversThem) {
  const Synthetic& s = synthetic();
  const std::vector<int> start = defaults(), known = knownVector();
  std::vector<bool> frozen(Tune::NPARAMS, true);
  for (const Change& c : kChanges) frozen[static_cast<std::size_t>(c.index)] = false;
  LanePool pool(2);
  TrainConfig config;
  config.lr = 2.0;
  config.lrDecay = 0.95;
  config.batch = 512;
  Trainer trainer(s.data, s.all, config, start.data(), frozen, kTrueK, pool);
  for (int e = 0; e < 60; ++e) trainer.epoch();
  EXPECT_LT(meanLoss(pool, s.data, s.all, trainer.values().data(), kTrueK), 1e-8);
  for (const Change& c : kChanges)
    EXPECT_NEAR(trainer.values()[static_cast<std::size_t>(c.index)],
                known[static_cast<std::size_t>(c.index)], 1.0)
        << Tune::paramName(c.index);
  EXPECT_EQ(trainer.rounded(), known);
}

TEST(Fit, FrozenAndUnseenParametersKeepTheirValues) {
  const Synthetic& s = synthetic();
  const std::vector<int> start = defaults();
  std::vector<bool> frozen;
  std::string error;
  ASSERT_TRUE(freezeByPatterns("matMg_*,matEg_*,bishopPair", frozen, error)) << error;
  LanePool pool(1);
  TrainConfig config;
  config.batch = 256;
  Trainer trainer(s.data, s.all, config, start.data(), frozen, kTrueK, pool);
  trainer.epoch();
  trainer.epoch();
  const std::vector<bool> active = s.data.activeParams();
  int moved = 0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(Tune::NPARAMS); ++i) {
    if (frozen[i] || !active[i])
      EXPECT_EQ(trainer.values()[i], start[i]) << Tune::paramName(static_cast<int>(i));
    else
      moved += trainer.values()[i] != start[i];
  }
  EXPECT_GT(moved, 100);
  // Pawn and king endgame deltas never have a coefficient.
  EXPECT_FALSE(active[Tune::kPstEgDelta + 10]);
  EXPECT_FALSE(active[Tune::kPstEgDelta + 64 * King + 10]);
}

TEST(Fit, OneAndTwoThreadsGiveTheSameNumbers) {
  const Synthetic& s = synthetic();
  const std::vector<int> start = defaults();
  const Split split = splitData(s.data.size(), 0.2, 7);
  TrainConfig config;
  config.batch = 700;
  config.seed = 7;
  config.reg = 1e-6;
  auto run = [&](int threads) {
    LanePool pool(threads);
    Trainer trainer(s.data, split.train, config, start.data(), {}, kTrueK, pool);
    trainer.epoch();
    trainer.epoch();
    return std::make_pair(trainer.values(),
                          meanLoss(pool, s.data, split.valid, trainer.values().data(), kTrueK));
  };
  const auto one = run(1), two = run(2), three = run(3);
  EXPECT_TRUE(one.first == two.first);  // bit for bit
  EXPECT_TRUE(one.first == three.first);
  EXPECT_EQ(one.second, two.second);
  EXPECT_EQ(one.second, three.second);
  // Another seed shuffles the batches differently.
  config.seed = 8;
  EXPECT_FALSE(run(2).first == one.first);
}

TEST(Fit, RegularisationHoldsTheValuesNearTheStart) {
  const Synthetic& s = synthetic();
  const std::vector<int> start = defaults();
  LanePool pool(2);
  auto distance = [&](double reg) {
    TrainConfig config;
    config.batch = 500;
    config.reg = reg;
    Trainer trainer(s.data, s.all, config, start.data(), {}, kTrueK, pool);
    for (int e = 0; e < 3; ++e) trainer.epoch();
    double d = 0;
    for (int i = 0; i < Tune::NPARAMS; ++i)
      d += std::abs(trainer.values()[static_cast<std::size_t>(i)] -
                    start[static_cast<std::size_t>(i)]);
    return d;
  };
  const double free = distance(0), held = distance(1e-3);
  EXPECT_GT(free, 0);
  EXPECT_LT(held, free / 2) << free << " " << held;
}

// A step that is no number (K or the regularisation overflowing the arithmetic) is told apart from
// one that leaves a parameter's range, whose cure is a smaller step.
TEST(Fit, AStepThatIsNoNumberIsToldApartFromOneThatGoesTooFar) {
  const Synthetic& s = synthetic();
  const std::vector<int> start = defaults();
  LanePool pool(1);
  const struct {
    const char* what;
    double k, lr, reg;
    bool notFinite;
  } cases[] = {
      {"K overflows", 1e308, 1.0, 0, true},
      {"the penalty overflows", kTrueK, 1.0, 1e308, true},
      {"the step is too large", kTrueK, 1e12, 0, false},
  };
  for (const auto& c : cases) {
    TrainConfig config;
    config.batch = 512;
    config.lr = c.lr;
    config.reg = c.reg;
    Trainer trainer(s.data, s.all, config, start.data(), {}, c.k, pool);
    EXPECT_FALSE(trainer.epoch()) << c.what;
    EXPECT_EQ(trainer.notFinite(), c.notFinite) << c.what;
    EXPECT_GE(trainer.escaped(), 0) << c.what;
  }
}

// Whole games go to one side; without games the plain split is used.
TEST(Split, KeepsGamesWhole) {
  DataSet d;
  for (int i = 0; i < 100; ++i) d.add(tunetest::parsed("0.5 0 64 0 0 0"));
  const Split plain = splitData(d, 0.3, 3);
  EXPECT_EQ(plain.valid, splitData(100, 0.3, 3).valid);
  const std::vector<DataSet::Game> games = {{0, 10}, {20, 30}, {60, 5}};
  for (const DataSet::Game& g : games) d.addGame(g.first, g.count);
  for (const std::uint64_t seed : {1u, 2u, 3u, 4u}) {
    const Split a = splitData(d, 0.3, seed), b = splitData(d, 0.3, seed);
    EXPECT_EQ(a.valid, b.valid);
    EXPECT_LE(a.valid.size(), 30u);
    EXPECT_GE(a.valid.size(), 20u);
    std::set<std::uint32_t> valid(a.valid.begin(), a.valid.end());
    std::set<std::uint32_t> all(a.train.begin(), a.train.end());
    all.insert(valid.begin(), valid.end());
    EXPECT_EQ(all.size(), 100u);
    for (const DataSet::Game& g : games) {
      const bool first = valid.count(g.first) > 0;
      for (std::uint32_t j = 1; j < g.count; ++j)
        EXPECT_EQ(valid.count(g.first + j) > 0, first) << "game at " << g.first;
    }
  }
  // The validation part is filled to exactly its share when the units allow it: ten games of ten
  // give three whole games for 0.3, and lone positions top a game up to the last position.
  DataSet tens, mixed;
  for (int i = 0; i < 100; ++i) {
    tens.add(tunetest::parsed("0.5 0 64 0 0 0"));
    mixed.add(tunetest::parsed("0.5 0 64 0 0 0"));
  }
  for (std::uint32_t g = 0; g < 100; g += 10) tens.addGame(g, 10);
  mixed.addGame(0, 7);
  for (const std::uint64_t seed : {1u, 2u, 3u, 4u}) {
    EXPECT_EQ(splitData(tens, 0.3, seed).valid.size(), 30u) << seed;
    EXPECT_EQ(splitData(tens, 0.3, seed).train.size(), 70u) << seed;
    EXPECT_EQ(splitData(mixed, 0.25, seed).valid.size(), 25u) << seed;
  }
  // A game larger than the validation share never empties the training set.
  DataSet one;
  for (int i = 0; i < 10; ++i) one.add(tunetest::parsed("0.5 0 64 0 0 0"));
  one.addGame(0, 10);
  EXPECT_EQ(splitData(one, 0.5, 1).train.size(), 10u);
}

TEST(Split, IsASeededPartition) {
  const Split a = splitData(1000, 0.1, 3), b = splitData(1000, 0.1, 3), c = splitData(1000, 0.1, 4);
  EXPECT_EQ(a.valid.size(), 100u);
  EXPECT_EQ(a.train.size(), 900u);
  EXPECT_EQ(a.train, b.train);
  EXPECT_EQ(a.valid, b.valid);
  EXPECT_NE(a.valid, c.valid);
  std::set<std::uint32_t> seen(a.train.begin(), a.train.end());
  seen.insert(a.valid.begin(), a.valid.end());
  EXPECT_EQ(seen.size(), 1000u);
  EXPECT_EQ(*seen.rbegin(), 999u);
  EXPECT_TRUE(splitData(10, 0.0, 1).valid.empty());
  EXPECT_EQ(splitData(10, 0.99, 1).train.size(), 1u);  // never an empty training set
  EXPECT_EQ(splitData(1, 0.5, 1).train.size(), 1u);
}

}  // namespace
