// Match statistics from the pentanomial counts of game pairs, as the current testing frameworks
// compute them: Elo with its 95% interval, likelihood of superiority, and the generalised SPRT.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace Match {

// Pairs by the first engine's points from the pair, worst first: 0, 1/2, 1, 3/2, 2.
using Pentanomial = std::array<std::int64_t, 5>;

struct Estimate {
  double score = 0.5;   // mean score per game
  double elo = 0;       // logistic Elo
  double error = 0;     // half-width of the 95% interval in Elo
  double nelo = 0;      // normalised Elo
  double los = 0.5;     // likelihood of superiority
  std::int64_t pairs = 0;
};

// Infinite when a side scored every point; the error is infinite with fewer than two pairs or no
// spread at all.
Estimate estimate(const Pentanomial& p);

struct SprtSettings {
  bool enabled = false;
  double elo0 = 0, elo1 = 5, alpha = 0.05, beta = 0.05;
  bool normalized = false;  // elo0/elo1 as normalised Elo instead of logistic Elo
  double lowerBound() const;  // ln(beta / (1 - alpha)): accept H0 at or below
  double upperBound() const;  // ln((1 - beta) / alpha): accept H1 at or above
};

// The generalised log-likelihood ratio of H1 (elo1) against H0 (elo0) on the pentanomial counts:
// each hypothesis is the maximum-likelihood pair distribution whose mean score is the
// hypothesis's score, fitted to the counts (every count raised to at least 1e-3, so an empty
// class does not make the ratio infinite).
double llr(const Pentanomial& p, const SprtSettings& s);

enum class SprtState { Continue, AcceptH0, AcceptH1 };
SprtState sprtState(double llr, const SprtSettings& s);
const char* sprtName(SprtState s);

}  // namespace Match
