// The fit itself: a seeded train/validation split, then Adam on mini-batches of the training set,
// gradients summed lane by lane so one and many threads give the same numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/tune/dataset.h"
#include "tools/tune/pool.h"

namespace TuneTool {

struct TrainConfig {
  double lr = 1.0;       // Adam step size, in evaluation units per step
  double lrDecay = 1.0;  // the step size is multiplied by this after every epoch
  double beta1 = 0.9;
  double beta2 = 0.999;
  double epsilon = 1e-8;
  std::size_t batch = 16384;  // positions per step; 0: the whole training set
  std::uint64_t seed = 1;     // shuffles the batches of each epoch
  double reg = 0;             // L2 penalty per parameter on its distance from the start value
};

// Position numbers of the two parts: a seeded shuffle, the first floor(n * validation) positions of
// it for validation and the rest, in shuffled order, for training.
struct Split {
  std::vector<std::uint32_t> train;
  std::vector<std::uint32_t> valid;
};
Split splitData(std::size_t n, double validation, std::uint64_t seed);
// The same with the data set's games kept whole: positions of one game are alike and share their
// result, so a game split between the parts would let validation see what training saw. Games
// (and lone positions) are shuffled and, in that order, go to validation while they fit into
// floor(n * validation) positions. Without games this is splitData.
Split splitData(const DataSet& data, double validation, std::uint64_t seed);

// A permutation of v from a seeded Fisher-Yates shuffle with its own generator, so a seed gives the
// same order with every standard library.
void seededShuffle(std::vector<std::uint32_t>& v, std::uint64_t seed);

class Trainer {
 public:
  // start: the vector to begin from; frozen: parameters that keep their start value.
  Trainer(const DataSet& data, const std::vector<std::uint32_t>& train, const TrainConfig& config,
          const int start[Tune::NPARAMS], const std::vector<bool>& frozen, double k,
          LanePool& pool);

  // One pass over the training set in a fresh seeded order, one Adam step per batch. Stops early
  // and returns false when a step would take a parameter outside the range a listing may give it
  // (EvalParams::paramRange); escaped() then names it. notFinite() tells that the step was no
  // number at all: K or the regularisation overflowed the arithmetic, whatever the step size.
  bool epoch();
  int escaped() const { return escaped_; }
  bool notFinite() const { return notFinite_; }
  int epochsDone() const { return epochs_; }
  double k() const { return k_; }
  const std::vector<double>& values() const { return values_; }
  // The values rounded to integers, as the engine would use them.
  std::vector<int> rounded() const;
  // The gradient of meanLoss over the positions idx at the current values, as the steps compute it.
  std::vector<double> gradient(const std::vector<std::uint32_t>& idx);

 private:
  bool step(std::size_t from, std::size_t to);
  // Fills one gradient row per non-empty lane for the positions idx[0..len).
  void laneGradients(const std::uint32_t* idx, std::size_t len);
  double reduced(std::size_t len, std::size_t param) const;

  const DataSet& data_;
  const std::vector<std::uint32_t>& train_;
  TrainConfig config_;
  std::vector<bool> frozen_;
  double k_;
  LanePool& pool_;
  std::vector<double> values_;
  std::vector<double> start_;
  std::vector<double> m_, v_;     // Adam's moment estimates
  std::vector<double> laneGrad_;  // kLanes rows of NPARAMS
  std::vector<char> left_;        // per parameter: a step tried to leave its range
  std::vector<std::uint32_t> order_;
  double lr_;
  long long steps_ = 0;
  int epochs_ = 0;
  int escaped_ = -1;
  bool notFinite_ = false;
};

}  // namespace TuneTool
