// quorvane-tune: fits the evaluation's parameter vector to feature files and writes it back as a
// "tuneparams" listing, ready for the build option QUORVANE_PARAMS. A fit goes through four
// stages: prepare (freeze patterns, start values, outputs), load the data, fit, write the results.
// Each stage returns the exit status when the run stops there.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "eval/eval.h"
#include "formats/param_listing.h"
#include "search/search.h"
#include "tools/outfile/whole_file.h"
#include "tools/tune/dataset.h"
#include "tools/tune/freeze.h"
#include "tools/tune/model.h"
#include "tools/tune/options.h"
#include "tools/tune/pool.h"
#include "tools/tune/trainer.h"

namespace TuneTool {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

int fail(const std::string& message) {
  std::fprintf(stderr, "quorvane-tune: %s\n", message.c_str());
  return 1;
}

// An output that names one of the inputs would destroy it: "--out data.txt data.txt", or the same
// file by another path ("./data.txt", a link). Returns a message naming both, or "".
std::string outputOverInput(const Options& opt) {
  struct Named {
    const char* what;
    const std::string& path;
  };
  std::vector<Named> inputs;
  for (const std::string& f : opt.files) inputs.push_back({"the input file", f});
  if (!opt.start.empty()) inputs.push_back({"--start", opt.start});
  auto clash = [](const Named& a, const Named& b) {
    return std::string(a.what) + " " + a.path + " and " + b.what + " " + b.path +
           " are the same file";
  };
  const Named out{"--out", opt.out}, log{"--log", opt.log};
  for (const Named& o : {out, log}) {
    if (o.path.empty()) continue;
    for (const Named& in : inputs)
      if (WholeFile::sameFile(o.path, in.path)) return clash(o, in);
  }
  if (!out.path.empty() && !log.path.empty() && WholeFile::sameFile(out.path, log.path))
    return clash(log, out);
  return "";
}

// One row of the --log table; a missing validation loss is written as "-".
void logRow(WholeFile& log, int epoch, double train, double valid, double seconds) {
  char row[128];
  if (valid < 0)
    std::snprintf(row, sizeof row, "%d\t%.9f\t-\t%.3f\n", epoch, train, seconds);
  else
    std::snprintf(row, sizeof row, "%d\t%.9f\t%.9f\t%.3f\n", epoch, train, valid, seconds);
  log.write(row);
  log.flush();  // the table can be watched while the fit runs
}

// Reads the listing at path into values; false after a message naming the file and line.
bool readListing(const std::string& path, int values[Tune::NPARAMS]) {
  std::ifstream in(path);
  ParamListing::Error bad;
  if (!in)
    fail("cannot open " + path);
  else if (!ParamListing::read(in, values, bad))
    fail(path + ":" + std::to_string(bad.line) + ": " + bad.message);
  else
    return true;
  return false;
}

// --compare BEFORE AFTER: "name<TAB>before<TAB>after" per parameter, in the listing's order, for
// scripts that show a fit's changes without reading listings themselves.
int compareListings(const Options& opt) {
  std::vector<int> before(Tune::NPARAMS), after(Tune::NPARAMS);
  if (!readListing(opt.files[0], before.data()) || !readListing(opt.files[1], after.data()))
    return 1;
  std::string table;
  for (int i = 0; i < Tune::NPARAMS; ++i)
    table += Tune::paramName(i) + '\t' + std::to_string(before[static_cast<std::size_t>(i)]) + '\t' +
             std::to_string(after[static_cast<std::size_t>(i)]) + '\n';
  std::cout << table << std::flush;
  if (!std::cout) return fail("cannot write the comparison to standard output");
  return 0;
}

// Everything fixed before the data is read.
struct Setup {
  std::vector<bool> frozen = std::vector<bool>(Tune::NPARAMS, false);
  std::vector<int> start = std::vector<int>(Tune::NPARAMS);
  std::unique_ptr<WholeFile> out, log;
};

// A stage returns the exit status when the run ends in it.
using Stop = std::optional<int>;

// The freeze patterns, the outputs against the inputs, the start listing; then the outputs are
// created, so that a bad path stops the run before hours of work rather than after.
Stop prepare(const Options& opt, Setup& setup) {
  std::string error;
  for (const std::string& list : opt.freeze)
    if (!freezeByPatterns(list, setup.frozen, error)) {
      std::fprintf(stderr, "quorvane-tune: %s\n", error.c_str());
      return 2;
    }

  if (const std::string clash = outputOverInput(opt); !clash.empty()) {
    std::fprintf(stderr, "quorvane-tune: %s\n", clash.c_str());
    return 2;
  }

  Tune::initValues(setup.start.data());
  if (!opt.start.empty() && !readListing(opt.start, setup.start.data())) return 1;
  // The outputs are temporary files until the fit has succeeded. An interrupt removes them.
  WholeFile::removeOnSignal();
  for (auto [file, path] : {std::pair{&setup.out, &opt.out}, std::pair{&setup.log, &opt.log}}) {
    if (path->empty()) continue;
    *file = std::make_unique<WholeFile>(*path);
    if (!(*file)->open(error)) return fail(error);
  }
  if (opt.check) {
    std::fprintf(stderr, "quorvane-tune: the options, the start values and the outputs are sound\n");
    return 0;
  }
  return std::nullopt;
}

// Reads the files through the filters and reports what was read and what was left out.
Stop loadData(const Options& opt, DataSet& data) {
  const Clock::time_point loadStart = Clock::now();
  LoadReport report;
  LoadFilter filter;
  filter.maxScore = opt.maxScore;
  filter.dropCheck = opt.dropCheck;
  filter.dropNoisy = opt.dropNoisy;
  filter.dedup = opt.dedup;
  filter.resolve = opt.resolve;
  std::string error;
  if (!loadFiles(opt.files, opt.format, filter, data, report, error)) return fail(error);
  if (report.malformed > 0)
    std::fprintf(stderr, "quorvane-tune: %s\n", malformedSummary(report).c_str());
  if (report.dataFiles > 0) {
    std::fprintf(stderr, "quorvane-tune: %zu data file%s: %zu games", report.dataFiles,
                 report.dataFiles == 1 ? "" : "s", report.games);
    if (opt.dropCheck) std::fprintf(stderr, "; %zu positions left out by --drop-check", report.inCheck);
    if (opt.maxScore > 0)
      std::fprintf(stderr, "; %zu positions left out by --max-score", report.filtered);
    if (opt.dedup) std::fprintf(stderr, "; %zu duplicates removed by --dedup", report.duplicates);
    if (opt.dropNoisy)
      std::fprintf(stderr, "; %zu positions left out by --drop-noisy", report.noisy);
    if (opt.resolve)
      std::fprintf(stderr, "; %zu positions replaced by their quiet end by --resolve",
                   report.resolved);
    std::fprintf(stderr, "\n");
  }
  if (data.empty()) return fail("no positions to tune on");
  if (opt.lambda > 0 && data.positionsWithoutScore() > 0)
    return fail("--lambda needs a search score for every position; " +
                std::to_string(data.positionsWithoutScore()) +
                " have none (feature files, or data written with score=0)");
  // Positions are addressed with 32-bit indices.
  if (data.size() > UINT32_MAX) return fail("more than 4294967295 positions; split the data");
  std::fprintf(stderr,
               "quorvane-tune: %zu positions, %zu coefficients, %.1f MB (%.1f bytes per position), "
               "read in %.2f s\n",
               data.size(), data.entryCount(), static_cast<double>(data.bytesUsed()) / 1e6,
               static_cast<double>(data.bytesUsed()) / static_cast<double>(data.size()),
               secondsSince(loadStart));
  return std::nullopt;
}

// Splits the data, fits K (unless given), blends the targets and runs the epochs; tuned gets the
// rounded values. The --log table is written as the epochs end.
Stop fit(const Options& opt, const Setup& setup, DataSet& data, std::vector<int>& tuned) {
  const Split split = splitData(data, opt.validation, opt.seed);
  const std::vector<bool> active = data.activeParams();
  int nActive = 0, nTuned = 0;
  for (int i = 0; i < Tune::NPARAMS; ++i) {
    nActive += active[static_cast<std::size_t>(i)];
    nTuned += active[static_cast<std::size_t>(i)] && !setup.frozen[static_cast<std::size_t>(i)];
  }
  std::fprintf(
      stderr,
      "quorvane-tune: %zu training and %zu validation positions; %d of %d parameters occur in "
      "the data, %d of them are tuned; %d threads\n",
      split.train.size(), split.valid.size(), nActive, Tune::NPARAMS, nTuned, opt.threads);

  LanePool pool(opt.threads);
  const std::vector<int>& start = setup.start;
  const std::vector<double> startReal(start.begin(), start.end());
  double k = opt.k;
  if (k <= 0) {
    const Clock::time_point t = Clock::now();
    k = fitK(pool, data, split.train, startReal.data());
    std::fprintf(stderr, "quorvane-tune: K = %.6f (fitted on the training set in %.2f s)\n", k,
                 secondsSince(t));
  } else {
    std::fprintf(stderr, "quorvane-tune: K = %.6f (given)\n", k);
  }
  // The score is in the evaluation's unit, so the K that maps evaluations to results maps it too.
  if (opt.lambda > 0) {
    data.blendTargets(opt.lambda, k);
    std::fprintf(stderr,
                 "quorvane-tune: target = %g * sigmoid(K * search score) + %g * result; the losses "
                 "below are against it\n",
                 opt.lambda, 1 - opt.lambda);
  }
  const bool hasValid = !split.valid.empty();
  auto lossLine = [&](const char* what, const std::vector<int>& v) {
    std::fprintf(stderr, "quorvane-tune: %s: train %.7f", what,
                 meanLossExact(pool, data, split.train, v.data(), k));
    if (hasValid)
      std::fprintf(stderr, "  valid %.7f", meanLossExact(pool, data, split.valid, v.data(), k));
    std::fprintf(stderr, "\n");
  };
  lossLine("start loss", start);

  TrainConfig config;
  config.lr = opt.lr;
  config.lrDecay = opt.lrDecay;
  config.batch = opt.batch;
  config.seed = opt.seed;
  config.reg = opt.reg;
  WholeFile* log = setup.log.get();
  if (log) {
    log->write("epoch\ttrain\tvalid\tseconds\n");
    logRow(*log, 0, meanLoss(pool, data, split.train, startReal.data(), k),
           hasValid ? meanLoss(pool, data, split.valid, startReal.data(), k) : -1, 0);
  }
  Trainer trainer(data, split.train, config, start.data(), setup.frozen, k, pool);
  const Clock::time_point trainStart = Clock::now();
  for (int e = 1; e <= opt.epochs; ++e) {
    const Clock::time_point t = Clock::now();
    if (!trainer.epoch()) {
      if (trainer.notFinite()) {
        char values[96];
        std::snprintf(values, sizeof values, "K = %g, --reg %g", k, opt.reg);
        return fail("epoch " + std::to_string(e) + ": the gradient is no longer a finite number (" +
                    values + "); these settings cannot give a fit");
      }
      const int p = trainer.escaped();
      const EvalParams::ParamRange range = EvalParams::paramRange(p);
      return fail("epoch " + std::to_string(e) + ": parameter " + Tune::paramName(p) +
                  " would leave " + std::to_string(range.lo) + ".." + std::to_string(range.hi) +
                  "; try a smaller --lr or freeze it");
    }
    const double trainLoss = meanLoss(pool, data, split.train, trainer.values().data(), k);
    const double validLoss =
        hasValid ? meanLoss(pool, data, split.valid, trainer.values().data(), k) : 0.0;
    if (!std::isfinite(trainLoss) || !std::isfinite(validLoss))
      return fail("epoch " + std::to_string(e) + ": the loss is no longer a finite number");
    const double epochSeconds = secondsSince(t);  // the losses included
    const double elapsed = secondsSince(trainStart);
    const double left = elapsed / e * (opt.epochs - e);
    std::fprintf(stderr, "epoch %d/%d  train %.7f", e, opt.epochs, trainLoss);
    if (hasValid) std::fprintf(stderr, "  valid %.7f", validLoss);
    std::fprintf(stderr, "  epoch %.2fs  elapsed %.1fs  left %.1fs\n", epochSeconds, elapsed, left);
    if (log) logRow(*log, e, trainLoss, hasValid ? validLoss : -1, epochSeconds);
  }

  tuned = trainer.rounded();
  int changed = 0;
  for (int i = 0; i < Tune::NPARAMS; ++i)
    changed += tuned[static_cast<std::size_t>(i)] != start[static_cast<std::size_t>(i)];
  lossLine("final loss (rounded values)", tuned);
  std::fprintf(stderr, "quorvane-tune: %d parameters changed\n", changed);
  return std::nullopt;
}

// The listing to --out (or standard output), then the --log table; each whole or not at all.
int writeResults(Setup& setup, const std::vector<int>& tuned) {
  std::string error;
  if (!setup.out) {
    ParamListing::write(std::cout, tuned.data());
    std::cout.flush();
    if (!std::cout) return fail("cannot write the listing to standard output");
  } else {
    std::ostringstream listing;
    ParamListing::write(listing, tuned.data());
    setup.out->write(listing.str());
    if (!setup.out->commit(error)) return fail(error);
  }
  if (setup.log && !setup.log->commit(error)) return fail(error);
  return 0;
}

}  // namespace
}  // namespace TuneTool

int main(int argc, char** argv) {
  using namespace TuneTool;
  Options opt;
  std::string error;
  if (!parseOptions(argc, argv, opt, error)) {
    std::fprintf(stderr, "quorvane-tune: %s\n%s", error.c_str(), usageText());
    return 2;
  }
  if (opt.help) {
    std::fputs(usageText(), stdout);
    return 0;
  }
  if (opt.compare) return compareListings(opt);
  // Data files are read through the engine's own board and extraction (and, for --drop-noisy and
  // --resolve, its quiescence search).
  initEngineTables();

  Setup setup;
  if (const Stop stop = prepare(opt, setup)) return *stop;
  DataSet data;
  if (const Stop stop = loadData(opt, data)) return *stop;
  std::vector<int> tuned;
  if (const Stop stop = fit(opt, setup, data, tuned)) return *stop;
  return writeResults(setup, tuned);
}
