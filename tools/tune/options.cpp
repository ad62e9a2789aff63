// Command-line parsing for quorvane-tune: "--name value" or "--name=value", files anywhere. Numbers
// are whole decimal texts (src/text): "--epochs 1e2", "--lr +1" and " 5" are refused.
#include "tools/tune/options.h"

#include <algorithm>
#include <string_view>
#include <thread>

#include "text/numbers.h"
#include "tools/tune/pool.h"

namespace TuneTool {

const char* usageText() {
  return "usage: quorvane-tune [options] FILE...\n"
         "Fits the evaluation parameters to data files written by \"quorvane datagen\" or to "
         "feature\n"
         "files written by \"quorvane featureexport\" (each file's format is told by its first "
         "line).\n"
         "\n"
         "  --epochs N        passes over the training set (default 100; 0 only fits K and "
         "reports)\n"
         "  --lr X            Adam step size in evaluation units (default 1.0)\n"
         "  --lr-decay F      multiply the step size by F after every epoch, 0 < F <= 1 (default "
         "1)\n"
         "  --batch N         positions per step (default 16384; 0 = the whole training set)\n"
         "  --threads N       worker threads (default: all cores; more than 64 run as 64)\n"
         "  --validation F    fraction of positions held out for validation, 0 <= F < 1 (default "
         "0.1)\n"
         "  --seed N          seed of the split and of the batch order (default 1)\n"
         "  --freeze LIST     keep parameters whose names match these comma-separated patterns\n"
         "                    ('*' and '?' wildcards, e.g. 'matMg_*,matEg_*'); may be repeated\n"
         "  --k X             use this sigmoid scale instead of fitting it, 0 < X <= 100\n"
         "  --lambda L        fit to L * sigmoid(K * search score) + (1 - L) * result, 0 <= L <= "
         "1\n"
         "                    (default 0: the result alone; L > 0 needs data files with scores)\n"
         "  --reg R           add R * (value - start value)^2 per parameter to the loss, "
         "0 <= R <= 1e6\n"
         "                    (default 0)\n"
         "  --max-score CP    leave out data lines whose search score is beyond +-CP (default: "
         "keep)\n"
         "  --drop-check      leave out data lines whose side to move is in check\n"
         "  --drop-noisy      leave out data lines where the quiescence search finds a capture "
         "or\n"
         "                    promotion better than the static evaluation\n"
         "  --dedup           keep only the first line of each position (by its key) over all "
         "files\n"
         "  --resolve         fit the quiet position at the end of each line's quiescence "
         "variation\n"
         "                    instead of the position itself (same result and score)\n"
         "  --format F        auto, data or features: how to read the files (default auto)\n"
         "  --log FILE        write the losses of every epoch as a tab-separated table\n"
         "  --start FILE      start from a tuneparams listing instead of the engine's values\n"
         "  --out FILE        write the tuned listing here (default: standard output)\n"
         "  --compare         read two listings, BEFORE and AFTER, instead of data files and print\n"
         "                    \"name<TAB>before<TAB>after\" for every parameter\n"
         "  --check           check the options, the --start listing and the outputs, then stop\n"
         "                    without reading the data files\n"
         "  --help            show this text\n"
         "\n"
         "Progress goes to standard error. The outputs are written whole when the fit ends, or not "
         "at all.\n"
         "Exit status: 0 done, 1 unreadable input, empty data set, failed fit or unwritable output, "
         "2 bad\n"
         "command line (an output that is one of the input files included).\n";
}

bool parseOptions(int argc, const char* const argv[], Options& o, std::string& error) {
  const unsigned hw = std::thread::hardware_concurrency();
  o.threads = hw == 0 ? 1 : static_cast<int>(hw < 64 ? hw : 64);  // the pool's most
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      o.help = true;
      continue;
    }
    if (arg == "--check") {
      o.check = true;
      continue;
    }
    if (arg == "--compare") {
      o.compare = true;
      continue;
    }
    if (arg.empty() || arg[0] != '-') {
      if (arg.empty()) {
        error = "empty file name";
        return false;
      }
      o.files.emplace_back(arg);
      continue;
    }
    std::string_view name = arg, value;
    bool hasValue = false;
    if (const std::size_t eq = arg.find('='); eq != std::string_view::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      hasValue = true;
    }
    // Switches of the data filters: on when given, and they take no value.
    static constexpr struct {
      std::string_view name;
      bool Options::*field;
    } kSwitches[] = {{"--drop-check", &Options::dropCheck},
                     {"--drop-noisy", &Options::dropNoisy},
                     {"--dedup", &Options::dedup},
                     {"--resolve", &Options::resolve}};
    bool isSwitch = false;
    for (const auto& sw : kSwitches) {
      if (sw.name != name) continue;
      if (hasValue) return error = std::string(name) + " takes no value", false;
      o.*sw.field = true;
      isSwitch = true;
    }
    if (isSwitch) continue;
    static constexpr std::string_view kKnown[] = {
        "--epochs", "--lr",     "--lr-decay",  "--batch",  "--threads", "--validation",
        "--seed",   "--freeze", "--k",         "--start",  "--out",     "--lambda",
        "--reg",    "--max-score", "--format", "--log"};
    bool known = false;
    for (std::string_view k : kKnown) known = known || k == name;
    if (!known) {
      error = "unknown option " + std::string(name);
      return false;
    }
    if (!hasValue) {
      if (i + 1 >= argc) {
        error = std::string(name) + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    const std::string bad = "bad value for " + std::string(name) + ": '" + std::string(value) + "'";
    if (name == "--epochs") {
      if (!parseWhole(value, o.epochs) || o.epochs < 0) return error = bad + " (an integer >= 0)", false;
    } else if (name == "--lr") {
      if (!parseWholeReal(value, o.lr) || o.lr <= 0) return error = bad + " (a number > 0)", false;
    } else if (name == "--lr-decay") {
      if (!parseWholeReal(value, o.lrDecay) || o.lrDecay <= 0 || o.lrDecay > 1)
        return error = bad + " (0 < F <= 1)", false;
    } else if (name == "--batch") {
      if (!parseWhole(value, o.batch)) return error = bad + " (an integer >= 0)", false;
    } else if (name == "--threads") {
      // The pool splits the work 64 ways, so more threads are accepted and run as 64: a script may
      // pass the machine's core count as it is.
      if (!parseWhole(value, o.threads) || o.threads < 1) return error = bad + " (an integer >= 1)", false;
      o.threads = std::min(o.threads, kLanes);
    } else if (name == "--validation") {
      if (!parseWholeReal(value, o.validation) || o.validation < 0 || o.validation >= 1)
        return error = bad + " (0 <= F < 1)", false;
    } else if (name == "--seed") {
      if (!parseWhole(value, o.seed)) return error = bad + " (an unsigned integer)", false;
    } else if (name == "--freeze") {
      o.freeze.emplace_back(value);
    } else if (name == "--k") {
      // The fitted K lies in 0.01..10; far beyond that the gradient's scale overflows.
      if (!parseWholeReal(value, o.k) || o.k <= 0 || o.k > 100) return error = bad + " (0 < X <= 100)", false;
    } else if (name == "--lambda") {
      if (!parseWholeReal(value, o.lambda) || o.lambda < 0 || o.lambda > 1)
        return error = bad + " (0 <= L <= 1)", false;
    } else if (name == "--reg") {
      // 1e6 already pins every parameter to its start; more only risks overflowing the gradient.
      if (!parseWholeReal(value, o.reg) || o.reg < 0 || o.reg > 1e6) return error = bad + " (0 <= R <= 1e6)", false;
    } else if (name == "--max-score") {
      if (!parseWhole(value, o.maxScore) || o.maxScore < 1 || o.maxScore > 32000)
        return error = bad + " (1..32000)", false;
    } else if (name == "--format") {
      if (value == "auto")
        o.format = FileFormat::Auto;
      else if (value == "data")
        o.format = FileFormat::Data;
      else if (value == "features")
        o.format = FileFormat::Features;
      else
        return error = bad + " (auto, data or features)", false;
    } else if (value.empty()) {
      return error = std::string(name) + " needs a file name", false;
    } else if (name == "--start") {
      o.start = value;
    } else if (name == "--out") {
      o.out = value;
    } else {
      o.log = value;
    }
  }
  if (!o.help && o.compare && o.files.size() != 2) {
    error = "--compare needs two listings, BEFORE and AFTER";
    return false;
  }
  if (!o.help && o.files.empty()) {
    error = "no data or feature file given";
    return false;
  }
  return true;
}

}  // namespace TuneTool
