// Elo, LOS and the generalised SPRT from pentanomial counts.
#include "tools/match/stats.h"

#include <cmath>
#include <limits>

namespace Match {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kZ95 = 1.959963984540054;  // two-sided 95% quantile of the normal distribution
const double kNeloDivisor = 800.0 / std::log(10.0);

double scoreToElo(double s) {
  if (s <= 0) return -kInf;
  if (s >= 1) return kInf;
  return -400.0 * std::log10(1.0 / s - 1.0);
}

double eloToScore(double elo) { return 1.0 / (1.0 + std::pow(10.0, -elo / 400.0)); }

struct Moments {
  double n = 0, mean = 0, var = 0;
};

Moments moments(const std::array<double, 5>& counts) {
  Moments m;
  for (double c : counts) m.n += c;
  if (m.n <= 0) return m;
  for (int i = 0; i < 5; ++i) m.mean += counts[i] * (i / 4.0);
  m.mean /= m.n;
  for (int i = 0; i < 5; ++i) m.var += counts[i] * (i / 4.0 - m.mean) * (i / 4.0 - m.mean);
  m.var /= m.n;
  return m;
}

// Sum of p_i * log(q_i) where q is the distribution closest to p (maximum likelihood) among those
// with mean s: q_i = p_i / (1 + x (a_i - s)), x the root of sum p_i (a_i - s) / (1 + x (a_i - s)),
// which decreases in x between the poles; bisection finds it to double precision.
double constrainedLogLikelihood(const std::array<double, 5>& p, double s) {
  double lo = -1.0 / (1.0 - s), hi = 1.0 / s;  // poles at a = 1 and a = 0
  auto f = [&](double x) {
    double sum = 0;
    for (int i = 0; i < 5; ++i) sum += p[i] * (i / 4.0 - s) / (1.0 + x * (i / 4.0 - s));
    return sum;
  };
  for (int it = 0; it < 200; ++it) {
    const double mid = 0.5 * (lo + hi);
    if (mid == lo || mid == hi) break;
    (f(mid) > 0 ? lo : hi) = mid;
  }
  const double x = 0.5 * (lo + hi);
  double ll = 0;
  for (int i = 0; i < 5; ++i) ll += p[i] * std::log(p[i] / (1.0 + x * (i / 4.0 - s)));
  return ll;
}

}  // namespace

Estimate estimate(const Pentanomial& pen) {
  std::array<double, 5> counts{};
  for (int i = 0; i < 5; ++i) counts[i] = static_cast<double>(pen[i]);
  const Moments m = moments(counts);
  Estimate e;
  e.pairs = static_cast<std::int64_t>(m.n);
  if (m.n <= 0) {
    e.error = kInf;
    return e;
  }
  e.score = m.mean;
  e.elo = scoreToElo(m.mean) + 0.0;  // + 0.0 turns -0 into 0 for the report
  const double sd = std::sqrt(m.var / m.n);
  if (m.n < 2 || sd <= 0) {
    e.error = kInf;
    e.los = m.mean > 0.5 ? 1.0 : m.mean < 0.5 ? 0.0 : 0.5;
    e.nelo = m.mean > 0.5 ? kInf : m.mean < 0.5 ? -kInf : 0.0;
    return e;
  }
  e.error = (scoreToElo(m.mean + kZ95 * sd) - scoreToElo(m.mean - kZ95 * sd)) / 2.0;
  e.los = 0.5 * std::erfc(-(m.mean - 0.5) / sd / std::sqrt(2.0));
  // Normalised Elo: the score's distance from even in per-game standard deviations; a pair's
  // variance is half a game's when the two games are independent.
  e.nelo = (m.mean - 0.5) / std::sqrt(2.0 * m.var) * kNeloDivisor + 0.0;
  return e;
}

double SprtSettings::lowerBound() const { return std::log(beta / (1.0 - alpha)); }
double SprtSettings::upperBound() const { return std::log((1.0 - beta) / alpha); }

double llr(const Pentanomial& pen, const SprtSettings& s) {
  std::array<double, 5> counts{};
  bool any = false;
  for (int i = 0; i < 5; ++i) {
    any |= pen[i] > 0;
    counts[i] = std::max(1e-3, static_cast<double>(pen[i]));
  }
  if (!any) return 0;
  const Moments m = moments(counts);
  std::array<double, 5> p{};
  for (int i = 0; i < 5; ++i) p[i] = counts[i] / m.n;
  double s0 = eloToScore(s.elo0), s1 = eloToScore(s.elo1);
  if (s.normalized) {
    const double sigma = std::sqrt(2.0 * m.var);
    s0 = 0.5 + s.elo0 / kNeloDivisor * sigma;
    s1 = 0.5 + s.elo1 / kNeloDivisor * sigma;
  }
  if (!(s0 > 0 && s0 < 1 && s1 > 0 && s1 < 1)) return 0;
  return m.n * (constrainedLogLikelihood(p, s1) - constrainedLogLikelihood(p, s0));
}

SprtState sprtState(double value, const SprtSettings& s) {
  if (!s.enabled) return SprtState::Continue;
  if (value >= s.upperBound()) return SprtState::AcceptH1;
  if (value <= s.lowerBound()) return SprtState::AcceptH0;
  return SprtState::Continue;
}

const char* sprtName(SprtState s) {
  switch (s) {
    case SprtState::AcceptH0: return "H0 accepted";
    case SprtState::AcceptH1: return "H1 accepted";
    default: return "continue";
  }
}

}  // namespace Match
