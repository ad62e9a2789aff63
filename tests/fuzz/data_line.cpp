// The data-line parser of featureexport, and what the export does with an accepted line: read the
// FEN and extract the evaluation features.
#include <cstdint>
#include <memory>
#include <string>

#include "formats/data_line.h"
#include "fuzz_support.h"
#include "tune/tune.h"

namespace {
std::unique_ptr<Board> gBoard;
std::unique_ptr<Tune::Trace> gTrace;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  initEvalTables();
  gBoard = std::make_unique<Board>();
  gTrace = std::make_unique<Tune::Trace>();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  DataLine::Sample s;
  if (!DataLine::parse(line, s)) return 0;
  fuzzsupport::check(!s.fen.empty(), "an accepted line has a FEN", line);
  fuzzsupport::check(s.result == 0.0 || s.result == 0.5 || s.result == 1.0, "result is 0, 0.5 or 1",
                     line);
  fuzzsupport::check(s.hasScore || s.score == 0, "no score bracket, score 0", line);
  if (!gBoard->setFen(s.fen)) return 0;
  *gTrace = Tune::Trace{};
  Tune::extract(*gBoard, *gTrace);
  fuzzsupport::check(gTrace->phase >= 0 && gTrace->phase <= 24, "phase in 0..24", line);
  return 0;
}
