// The tuner's model of the evaluation: a position's White-view score as a function of the
// parameter vector, the sigmoid that turns it into an expected result, and the mean squared error
// against the game results.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "eval/eval.h"
#include "tools/tune/dataset.h"
#include "tools/tune/pool.h"

namespace TuneTool {

inline constexpr double kLn10Over400 = 2.302585092994045684 / 400.0;

// The engine's own arithmetic: its blend and fifty-move damping with truncating divisions:
// evaluate turned to White's view. Feature files carry no halfmove clock (it counts as 0 there);
// data files do. Sums are 64-bit, which gives the engine's 32-bit result wherever that does not
// overflow, and no undefined behaviour on absurd input.
std::int64_t evaluateExact(const DataSet& data, std::size_t i, const int v[Tune::NPARAMS]);

// The engine's fifty-move damping of position i, (200 - clock) / 200.
inline double damping(const DataSet& data, std::size_t i) { return (200 - data.clock(i)) / 200.0; }

// The same blend without truncation, for the optimiser: the gradient needs a smooth function.
inline double evaluateReal(const DataSet& data, std::size_t i, const double* v) {
  double mg = data.mgBase(i), eg = data.egBase(i);
  for (const Entry* p = data.begin(i); p != data.end(i); ++p) {
    const double x = v[p->index];
    mg += p->mg * x;
    eg += p->eg * x;
  }
  return blend(mg, eg, data.phase(i), data.scale(i)) * damping(data, i);
}

// Expected result for White of a White-view score e: 1 / (1 + 10^(-k e / 400)).
inline double sigmoid(double e, double k) { return 1.0 / (1.0 + std::exp(-k * kLn10Over400 * e)); }

// Mean of (result - sigmoid(eval))^2 over the positions listed in idx; sums lane by lane, so the
// value does not depend on the pool's thread count. 0 for an empty list.
double meanLoss(LanePool& pool, const DataSet& data, const std::vector<std::uint32_t>& idx,
                const double* v, double k);
double meanLossExact(LanePool& pool, const DataSet& data, const std::vector<std::uint32_t>& idx,
                     const int v[Tune::NPARAMS], double k);

// The K in 0.01..10 that minimises meanLoss for the vector v: a geometric scan, then a
// golden-section search around the best point of the scan.
double fitK(LanePool& pool, const DataSet& data, const std::vector<std::uint32_t>& idx,
            const double* v);

}  // namespace TuneTool
