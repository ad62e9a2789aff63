// The parameter vector the engine was built with, the "tuneparams" listing and the reconstruction
// self-check.
#include "tune/tune.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "eval/eval.h"
#include "eval/params.h"
#include "formats/param_listing.h"

namespace Tune {

void initValues(int out[NPARAMS]) {
  for (int i = 0; i < NPARAMS; ++i) out[i] = EvalParams::kParamValues[i];
}

bool toFeatures(const Trace& trace, double result, Features::Line& out, const char*& why) {
  out.result = static_cast<float>(result);
  out.phase = trace.phase;
  out.scale = trace.scale;
  out.mgBase = trace.mgBase;
  out.egBase = trace.egBase;
  return Features::sparseEntries(trace.coefMg, trace.coefEg, out.entries, why);
}

}  // namespace Tune

int runTuneParams() {
  std::ostringstream out;
  ParamListing::write(out, EvalParams::kParamValues);
  std::cout << out.str() << std::flush;
  return 0;
}

int runTuneVerify() {
  static constexpr const char* kFens[] = {
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
      "8/8/3k4/2p5/2P5/3K4/8/8 w - - 0 1",
      "8/5k2/8/8/8/8/2K2B2/8 w - - 0 1",
      "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1",
      "8/8/4k3/8/2b5/8/4KB2/8 w - - 0 1",
      "r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 0 1",
      "6k1/5ppp/8/8/8/8/5PPP/3R2K1 b - - 0 1",
      "8/1p3k2/1P6/3P4/8/5K2/6p1/8 w - - 0 1",
      "3k4/p1p2ppp/8/2Pp4/8/1P6/P4PPP/3K4 w - - 0 1",
      "6k1/2p2ppp/8/8/8/8/PP3P1P/6K1 w - - 0 1",
      "2r3k1/1P3ppp/8/8/8/2B5/5PPP/6K1 w - - 0 1",
      "6k1/8/2n1P3/8/3p4/8/1q3PPP/3R2K1 b - - 0 1",
      "8/5k2/3P4/2K5/8/6b1/1p6/8 w - - 0 1",
      "1r4k1/8/1P6/8/4N3/8/5PPP/6K1 w - - 0 1",
      "6k1/5ppp/8/1P6/3B4/8/5PPP/6K1 w - - 0 1",
      "6k1/8/8/8/8/2p1n3/8/Q5K1 b - - 0 1",
      "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 63 80",
      "r5k1/5ppp/8/8/8/8/5PPP/6K1 b - - 97 120",
  };
  int values[Tune::NPARAMS];
  Tune::initValues(values);
  // Both are large; one of each serves every position.
  auto board = std::make_unique<Board>();
  auto trace = std::make_unique<Tune::Trace>();
  int accepted = 0, failures = 0;
  for (const char* fen : kFens) {
    if (!board->setFen(fen)) {
      std::cout << "[FAIL] tune: невалідний FEN: " << fen << "\n";
      ++failures;
      continue;
    }
    const int e = evaluate(*board);
    trace->result = 0.5;
    trace->phase = 0;
    trace->scale = 64;
    Tune::extract(*board, *trace);
    const int r = Tune::reconstruct(*board, *trace, values);
    ++accepted;
    if (r != e) {
      std::cout << "[FAIL] tune reconstruct " << r << " != evaluate " << e << "  (" << fen << ")\n";
      ++failures;
    }
  }
  std::cout << (accepted - failures) << "/" << accepted << " tune reconstruct tests passed\n" << std::flush;
  return failures;
}
