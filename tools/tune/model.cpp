// Losses and the fit of the sigmoid's scale K.
#include "tools/tune/model.h"

#include <array>

namespace TuneTool {

std::int64_t evaluateExact(const DataSet& data, std::size_t i, const int v[Tune::NPARAMS]) {
  std::int64_t mg = data.mgBase(i), eg = data.egBase(i);
  for (const Entry* p = data.begin(i); p != data.end(i); ++p) {
    // 64-bit products: a listing may hold any value the engine's tables take.
    mg += std::int64_t{p->mg} * v[p->index];
    eg += std::int64_t{p->eg} * v[p->index];
  }
  return fiftyMoveDamped(blend(mg, eg, data.phase(i), data.scale(i)), data.clock(i));
}

namespace {

// Sums f(j) for j in [0, n), lane by lane, then the lane sums in lane order.
template <class F>
double laneSum(LanePool& pool, std::size_t n, F&& f) {
  std::array<double, kLanes> sums{};
  auto job = [&](int lane) {
    double s = 0;
    for (std::size_t j = laneBegin(n, lane); j < laneBegin(n, lane + 1); ++j) s += f(j);
    sums[static_cast<std::size_t>(lane)] = s;
  };
  pool.run(job);
  double total = 0;
  for (double s : sums) total += s;
  return total;
}

}  // namespace

double meanLoss(LanePool& pool, const DataSet& data, const std::vector<std::uint32_t>& idx,
                const double* v, double k) {
  if (idx.empty()) return 0;
  return laneSum(pool, idx.size(),
                 [&](std::size_t j) {
                   const double d = data.result(idx[j]) - sigmoid(evaluateReal(data, idx[j], v), k);
                   return d * d;
                 }) /
         static_cast<double>(idx.size());
}

double meanLossExact(LanePool& pool, const DataSet& data, const std::vector<std::uint32_t>& idx,
                     const int v[Tune::NPARAMS], double k) {
  if (idx.empty()) return 0;
  return laneSum(pool, idx.size(),
                 [&](std::size_t j) {
                   const double d = data.result(idx[j]) -
                                    sigmoid(static_cast<double>(evaluateExact(data, idx[j], v)), k);
                   return d * d;
                 }) /
         static_cast<double>(idx.size());
}

double fitK(LanePool& pool, const DataSet& data, const std::vector<std::uint32_t>& idx,
            const double* v) {
  if (idx.empty()) return 1.0;
  // The scores do not change with K: compute them once.
  std::vector<double> evals(idx.size());
  std::vector<float> results(idx.size());
  auto fill = [&](int lane) {
    for (std::size_t j = laneBegin(idx.size(), lane); j < laneBegin(idx.size(), lane + 1); ++j) {
      evals[j] = evaluateReal(data, idx[j], v);
      results[j] = data.result(idx[j]);
    }
  };
  pool.run(fill);
  auto loss = [&](double k) {
    return laneSum(pool, idx.size(), [&](std::size_t j) {
      const double d = results[j] - sigmoid(evals[j], k);
      return d * d;
    });
  };

  // Scan 0.01 * 1.25^j up to 10, keep the best point and bracket it with its neighbours.
  std::vector<double> grid;
  for (double k = 0.01; k <= 10.0; k *= 1.25) grid.push_back(k);
  std::size_t best = 0;
  double bestLoss = loss(grid[0]);
  for (std::size_t j = 1; j < grid.size(); ++j) {
    const double l = loss(grid[j]);
    if (l < bestLoss) bestLoss = l, best = j;
  }
  double lo = grid[best > 0 ? best - 1 : 0];
  double hi = grid[best + 1 < grid.size() ? best + 1 : best];
  // Golden-section search; the loss is unimodal in K within one bracket of the scan.
  const double invPhi = 0.6180339887498949;
  double a = hi - invPhi * (hi - lo), b = lo + invPhi * (hi - lo);
  double la = loss(a), lb = loss(b);
  while (hi - lo > 1e-7 * hi) {
    if (la < lb) {
      hi = b, b = a, lb = la;
      a = hi - invPhi * (hi - lo);
      la = loss(a);
    } else {
      lo = a, a = b, la = lb;
      b = lo + invPhi * (hi - lo);
      lb = loss(b);
    }
  }
  return (lo + hi) / 2;
}

}  // namespace TuneTool
