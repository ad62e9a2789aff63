// Shared set-up of the tuner tests: the engine's tables once per process, feature lines made
// in-process from Tune::extract, and data sets built from them.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "attacks/attacks.h"
#include "board/board.h"
#include "board/zobrist.h"
#include "eval/endgame.h"
#include "eval/eval.h"
#include "formats/param_listing.h"
#include "support/eval_env.h"
#include "support/random_walk.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "tools/tune/dataset.h"
#include "tune/tune.h"

namespace tunetest {

// A feature line as the export writes it: result, phase, scale, mgBase, egBase, k, then the
// nonzero triples in index order.
inline std::string featureLine(double result, const Tune::Trace& t) {
  std::ostringstream out;
  out << result << ' ' << t.phase << ' ' << t.scale << ' ' << t.mgBase << ' ' << t.egBase;
  int k = 0;
  std::ostringstream triples;
  for (int i = 0; i < Tune::NPARAMS; ++i)
    if (t.coefMg[i] != 0 || t.coefEg[i] != 0) {
      ++k;
      triples << ' ' << i << ' ' << t.coefMg[i] << ' ' << t.coefEg[i];
    }
  out << ' ' << k << triples.str();
  return out.str();
}

// The engine's own parameter values, and their listing as "tuneparams" prints it.
inline std::vector<int> defaults() {
  std::vector<int> v(Tune::NPARAMS);
  Tune::initValues(v.data());
  return v;
}

inline std::string defaultListing() {
  std::ostringstream out;
  ParamListing::write(out, defaults().data());
  return out.str();
}

inline Features::Line parsed(const std::string& text) {
  Features::Line line;
  const char* why = "";
  EXPECT_TRUE(Features::parse(text, line, why)) << why << ": " << text;
  return line;
}

// The FEN with its halfmove clock field set to 0: feature lines carry no clock, so the tuner's
// score matches evaluate only there.
inline std::string withClockZero(const std::string& fen) {
  std::istringstream in(fen);
  std::string board, side, castling, ep, clock, move;
  in >> board >> side >> castling >> ep >> clock >> move;
  return board + " " + side + " " + castling + " " + ep + " 0 " + (move.empty() ? "1" : move);
}

// A random-walk position with its halfmove clock set to 0, its feature line (result 0.5) and the
// engine's evaluation from White's view.
struct WalkSample {
  std::string fen;
  Features::Line line;
  int whiteEval = 0;
};

inline std::vector<WalkSample> walkSamples(std::uint64_t seed, int plies) {
  std::vector<WalkSample> out;
  auto trace = std::make_unique<Tune::Trace>();
  auto clean = std::make_unique<Board>();
  testsupport::randomWalks(seed, plies, [&](const Board& b) {
    WalkSample s;
    s.fen = withClockZero(b.fen());
    EXPECT_TRUE(clean->setFen(s.fen)) << s.fen;
    const int e = evaluate(*clean);
    s.whiteEval = clean->side == White ? e : -e;
    Tune::extract(*clean, *trace);
    s.line = parsed(featureLine(0.5, *trace));
    out.push_back(std::move(s));
  });
  return out;
}

// Runs a shell command line; its exit status, or -1 when it did not exit normally.
inline int runCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

using testsupport::readFile;
using testsupport::TempDir;

}  // namespace tunetest
