// The tuner's line readers, feature lines and datagen lines (both are tried on every input), and
// what the tuner computes from an accepted line: the exact and the real-valued evaluation with the
// engine's own parameter values and with the extremes of the range a parameter may take.
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "tools/tune/dataset.h"
#include "tools/tune/model.h"

namespace {

std::vector<int> gValues[3];
std::vector<double> gReal[3];
std::unique_ptr<Board> gBoard;
std::unique_ptr<Tune::Trace> gTrace;

void evaluateAccepted(const Features::Line& parsed, std::string_view line) {
  TuneTool::DataSet set;
  set.add(parsed);
  for (int i = 0; i < 3; ++i) {
    TuneTool::evaluateExact(set, 0, gValues[i].data());
    fuzzsupport::check(std::isfinite(TuneTool::evaluateReal(set, 0, gReal[i].data())),
                       "finite evaluation", line);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  initEvalTables();
  gValues[0].resize(Tune::NPARAMS);
  Tune::initValues(gValues[0].data());
  gValues[1].resize(Tune::NPARAMS);
  gValues[2].resize(Tune::NPARAMS);
  for (int i = 0; i < Tune::NPARAMS; ++i) {
    gValues[1][static_cast<std::size_t>(i)] = EvalParams::paramRange(i).hi;
    gValues[2][static_cast<std::size_t>(i)] = EvalParams::paramRange(i).lo;
  }
  for (int i = 0; i < 3; ++i) gReal[i].assign(gValues[i].begin(), gValues[i].end());
  gBoard = std::make_unique<Board>();
  gTrace = std::make_unique<Tune::Trace>();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  Features::Line parsed;
  const char* why = "";
  if (Features::parse(line, parsed, why))
    evaluateAccepted(parsed, line);
  else
    fuzzsupport::check(why != nullptr && *why != '\0', "a refused feature line has a reason", line);
  why = "";
  if (TuneTool::parseDataLine(line, *gBoard, *gTrace, parsed, why))
    evaluateAccepted(parsed, line);
  else
    fuzzsupport::check(why != nullptr && *why != '\0', "a refused data line has a reason", line);
  return 0;
}
