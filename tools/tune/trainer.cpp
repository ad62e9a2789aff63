// Mini-batch Adam for the mean squared error between game results and the sigmoid of the score.
#include "tools/tune/trainer.h"

#include <algorithm>
#include <cmath>

#include "tools/tune/model.h"

namespace TuneTool {

namespace {

std::uint64_t splitmix(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

// Uniform in [0, n) without modulo bias (rejection on the low end).
std::uint64_t below(std::uint64_t& state, std::uint64_t n) {
  const std::uint64_t limit = -n % n;  // 2^64 mod n
  for (;;) {
    const std::uint64_t r = splitmix(state);
    if (r >= limit) return r % n;
  }
}

}  // namespace

void seededShuffle(std::vector<std::uint32_t>& v, std::uint64_t seed) {
  std::uint64_t state = seed;
  for (std::size_t i = v.size(); i > 1; --i) std::swap(v[i - 1], v[below(state, i)]);
}

Split splitData(std::size_t n, double validation, std::uint64_t seed) {
  std::vector<std::uint32_t> all(n);
  for (std::size_t i = 0; i < n; ++i) all[i] = static_cast<std::uint32_t>(i);
  seededShuffle(all, seed);
  const auto nValid = static_cast<std::size_t>(std::floor(static_cast<double>(n) * validation));
  Split s;
  s.valid.assign(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(std::min(nValid, n)));
  s.train.assign(all.begin() + static_cast<std::ptrdiff_t>(std::min(nValid, n)), all.end());
  return s;
}

Split splitData(const DataSet& data, double validation, std::uint64_t seed) {
  const std::size_t n = data.size();
  const std::vector<DataSet::Game>& games = data.games();
  if (games.empty()) return splitData(n, validation, seed);
  // Units in position order: each game, and each position outside the games.
  std::vector<DataSet::Game> units;
  std::size_t g = 0;
  for (std::size_t i = 0; i < n;) {
    const bool game = g < games.size() && games[g].first == i;
    const std::uint32_t count = game ? games[g++].count : 1;
    units.push_back({static_cast<std::uint32_t>(i), count});
    i += count;
  }
  std::vector<std::uint32_t> order(units.size());
  for (std::size_t u = 0; u < order.size(); ++u) order[u] = static_cast<std::uint32_t>(u);
  seededShuffle(order, seed);
  const auto nValid = static_cast<std::size_t>(std::floor(static_cast<double>(n) * validation));
  Split s;
  for (const std::uint32_t u : order) {
    // Never more than nValid, so training keeps at least one position as in the plain split.
    std::vector<std::uint32_t>& part =
        s.valid.size() + units[u].count <= nValid ? s.valid : s.train;
    for (std::uint32_t j = 0; j < units[u].count; ++j) part.push_back(units[u].first + j);
  }
  return s;
}

Trainer::Trainer(const DataSet& data, const std::vector<std::uint32_t>& train,
                 const TrainConfig& config, const int start[Tune::NPARAMS],
                 const std::vector<bool>& frozen, double k, LanePool& pool)
    : data_(data),
      train_(train),
      config_(config),
      frozen_(frozen),
      k_(k),
      pool_(pool),
      values_(start, start + Tune::NPARAMS),
      start_(start, start + Tune::NPARAMS),
      m_(Tune::NPARAMS, 0.0),
      v_(Tune::NPARAMS, 0.0),
      laneGrad_(static_cast<std::size_t>(kLanes) * Tune::NPARAMS, 0.0),
      left_(Tune::NPARAMS, 0),
      order_(train),
      lr_(config.lr) {
  frozen_.resize(Tune::NPARAMS, false);
}

std::vector<int> Trainer::rounded() const {
  std::vector<int> out(Tune::NPARAMS);
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<int>(std::lround(values_[i]));
  return out;
}

bool Trainer::epoch() {
  // A different order every epoch, reproducible from the seed and the epoch number.
  order_ = train_;
  seededShuffle(order_,
                config_.seed * 0x2545F4914F6CDD1DULL + static_cast<std::uint64_t>(epochs_) + 1);
  const std::size_t n = order_.size();
  const std::size_t batch = config_.batch == 0 ? n : config_.batch;
  for (std::size_t from = 0; from < n; from += batch)
    if (!step(from, std::min(n, from + batch))) return false;
  ++epochs_;
  lr_ *= config_.lrDecay;
  return true;
}

void Trainer::laneGradients(const std::uint32_t* idx, std::size_t len) {
  const double* v = values_.data();
  // d loss / d score of one position is 2 (s - r) s (1 - s) K ln10 / 400; the score's derivatives
  // by mg and eg are phase / 24 and scale (24 - phase) / (64 * 24), times the fifty-move damping.
  const double dScale = 2.0 * k_ * kLn10Over400 / static_cast<double>(len);
  auto gradient = [&](int lane) {
    const std::size_t a = laneBegin(len, lane), b = laneBegin(len, lane + 1);
    if (a == b) return;
    double* g = laneGrad_.data() + static_cast<std::size_t>(lane) * Tune::NPARAMS;
    std::fill(g, g + Tune::NPARAMS, 0.0);
    for (std::size_t j = a; j < b; ++j) {
      const std::uint32_t i = idx[j];
      const double s = sigmoid(evaluateReal(data_, i, v), k_);
      const double d = dScale * (s - data_.result(i)) * s * (1.0 - s);
      const int phase = data_.phase(i);
      const double gm = d * damping(data_, i) * phase / 24.0;
      const double ge = d * damping(data_, i) * data_.scale(i) * (24 - phase) / (64.0 * 24.0);
      for (const Entry* p = data_.begin(i); p != data_.end(i); ++p)
        g[p->index] += gm * p->mg + ge * p->eg;
    }
  };
  pool_.run(gradient);
}

double Trainer::reduced(std::size_t len, std::size_t param) const {
  // Lanes in lane order, a fixed order whatever the thread count; empty lanes hold stale rows.
  double g = 0;
  for (int l = 0; l < kLanes; ++l)
    if (laneBegin(len, l) != laneBegin(len, l + 1))
      g += laneGrad_[static_cast<std::size_t>(l) * Tune::NPARAMS + param];
  return g;
}

std::vector<double> Trainer::gradient(const std::vector<std::uint32_t>& idx) {
  std::vector<double> g(Tune::NPARAMS, 0.0);
  if (idx.empty()) return g;
  laneGradients(idx.data(), idx.size());
  for (std::size_t i = 0; i < g.size(); ++i) g[i] = reduced(idx.size(), i);
  return g;
}

bool Trainer::step(std::size_t from, std::size_t to) {
  const std::size_t len = to - from;
  laneGradients(order_.data() + from, len);
  // Sum the lanes and take the Adam step; each lane of this job owns a slice of the parameters.
  ++steps_;
  const double c1 = 1.0 - std::pow(config_.beta1, static_cast<double>(steps_));
  const double c2 = 1.0 - std::pow(config_.beta2, static_cast<double>(steps_));
  auto update = [&](int lane) {
    for (std::size_t u = laneBegin(Tune::NPARAMS, lane); u < laneBegin(Tune::NPARAMS, lane + 1);
         ++u) {
      if (frozen_[u]) continue;
      // The penalty reg * (value - start)^2 pulls towards the starting values.
      const double g = reduced(len, u) + 2.0 * config_.reg * (values_[u] - start_[u]);
      m_[u] = config_.beta1 * m_[u] + (1 - config_.beta1) * g;
      v_[u] = config_.beta2 * v_[u] + (1 - config_.beta2) * g * g;
      // A parameter that never had a gradient keeps m = v = 0 and so does not move. The values
      // stay inside the range a listing may give, so the result always builds; a step that would
      // leave it (the test is written so that a NaN fails it too) ends the fit, since a fit
      // running away is no result to write.
      const EvalParams::ParamRange range = EvalParams::paramRange(static_cast<int>(u));
      const double next =
          values_[u] - lr_ * (m_[u] / c1) / (std::sqrt(v_[u] / c2) + config_.epsilon);
      if (!std::isfinite(next))
        left_[u] = 2;  // not a step too far but arithmetic that overflowed
      else if (!(next >= range.lo && next <= range.hi))
        left_[u] = 1;
      values_[u] = std::clamp(next, static_cast<double>(range.lo), static_cast<double>(range.hi));
    }
  };
  pool_.run(update);
  // In index order, so the parameter named is the same with any number of threads.
  for (std::size_t u = 0; u < left_.size(); ++u)
    if (left_[u]) {
      escaped_ = static_cast<int>(u);
      notFinite_ = std::find(left_.begin(), left_.end(), 2) != left_.end();
      return false;
    }
  return true;
}

}  // namespace TuneTool
