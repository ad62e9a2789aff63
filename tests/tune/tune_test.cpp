// The tuning vector: the listing it prints and the tables built from it, and extraction +
// reconstruction against evaluate.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "eval/eval.h"
#include "eval/params.h"
#include "formats/param_listing.h"
#include "support/eval_env.h"
#include "support/capture.h"
#include "support/random_walk.h"
#include "tune/tune.h"

namespace {

struct Defaults {
  int v[Tune::NPARAMS];
  Defaults() { Tune::initValues(v); }
};

// The listing file the engine was built from, as name -> value (blank and '#' lines skipped).
std::map<std::string, int> builtListing() {
  std::ifstream in(QUORVANE_PARAM_LISTING);
  std::map<std::string, int> values;
  std::string index, name;
  int value = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream(line) >> index >> name >> value;
    values[name] = value;
  }
  return values;
}

// The "index name value" lines of a listing, comments and blank lines left out.
std::string entryLines(std::istream& in) {
  std::string entries;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] != '#') entries += line + '\n';
  }
  return entries;
}

// What "tuneparams" prints is the listing the engine was built from, entry for entry: the same
// names in the same order (so each unique), with the same values.
TEST(TuneVector, PrintsTheListingItWasBuiltFrom) {
  std::ifstream file(QUORVANE_PARAM_LISTING);
  const Defaults d;
  std::stringstream printed;
  ParamListing::write(printed, d.v);
  EXPECT_EQ(entryLines(printed), entryLines(file));
}

// The tables the evaluation reads hold the values listed under their names: a block that starts
// one entry off, or a table filled from the wrong block, shows here.
TEST(TuneVector, EvaluationTablesHoldTheListedValues) {
  const auto listed = builtListing();
  auto value = [&](const std::string& name) {
    const auto it = listed.find(name);
    EXPECT_NE(it, listed.end()) << name;
    return it == listed.end() ? 0 : it->second;
  };
  const std::string letter[6] = {"P", "N", "B", "R", "Q", "K"};
  using namespace EvalParams;
  for (Piece t = Pawn; t <= Queen; ++t) {
    EXPECT_EQ(kMgValue[t], value("matMg_" + letter[t]));
    EXPECT_EQ(kEgValue[t], value("matEg_" + letter[t]));
  }
  for (int s = 0; s < 64; ++s) {
    const std::string sq = std::to_string(s);
    for (Piece t = Pawn; t <= King; ++t) EXPECT_EQ(kPSTMG[t][s], value("pstMg_" + letter[t] + "_" + sq));
    EXPECT_EQ(kPSTEGPawn[s], value("pawnEg_" + sq));
    EXPECT_EQ(kKingEG[s], value("kingEg_" + sq));
    EXPECT_EQ(kSquareValue[1][Knight][s],
              value("matEg_N") + value("pstMg_N_" + sq) + value("pstEgDelta_N_" + sq));
  }
  for (Piece t = Knight; t <= Queen; ++t)
    for (int n = 0; n < 28; ++n) {
      const std::string name = letter[t] + "_" + std::to_string(n);
      const bool listedRow = listed.count("mobMg_" + name) != 0;
      EXPECT_EQ(listedRow, n < kMobRows[t]) << name;
      EXPECT_EQ(kMobilityMg[t][n], listedRow ? value("mobMg_" + name) : 0) << name;
      EXPECT_EQ(kMobilityEg[t][n], listedRow ? value("mobEg_" + name) : 0) << name;
    }
  for (int u = 0; u < 16; ++u) EXPECT_EQ(kKsSafetyTable[u], value("ksSafety_" + std::to_string(u)));
  for (int r = 0; r < 8; ++r) {
    EXPECT_EQ(kPassedMg[r], value("passedMg_" + std::to_string(r)));
    EXPECT_EQ(kPassedEg[r], value("passedEg_" + std::to_string(r)));
  }
  const std::pair<int, const char*> scalars[] = {
      {kBishopPair, "bishopPair"}, {kRookOpenMg, "rookOpenMg"},   {kRookOpenEg, "rookOpenEg"},
      {kRookSemiMg, "rookSemiMg"}, {kRookSemiEg, "rookSemiEg"},   {kIsolatedMg, "isolatedMg"},
      {kIsolatedEg, "isolatedEg"}, {kDoubledMg, "doubledMg"},     {kDoubledEg, "doubledEg"},
      {kConnectedMg, "connectedMg"}, {kConnectedEg, "connectedEg"}, {kKsOpenFile, "ksOpenFile"}};
  for (const auto& [v, name] : scalars) EXPECT_EQ(v, value(name)) << name;
}

TEST(TuneVerify, AllBuiltInPositionsReconstruct) {
  testsupport::StreamCapture capture;
  const int failures = runTuneVerify();
  const std::string out = capture.text();
  EXPECT_EQ(failures, 0) << out;
  EXPECT_EQ(out, "21/21 tune reconstruct tests passed\n");
}

TEST(TuneExtract, StartPositionCancelsOut) {
  Board b;
  ASSERT_TRUE(b.setFen(kStartFen));
  auto t = std::make_unique<Tune::Trace>();
  Tune::extract(b, *t);
  for (int i = 0; i < Tune::NPARAMS; ++i) {
    EXPECT_EQ(t->coefMg[i], 0) << Tune::paramName(i);
    EXPECT_EQ(t->coefEg[i], 0) << Tune::paramName(i);
  }
  EXPECT_EQ(t->mgBase, 0);
  EXPECT_EQ(t->egBase, 0);
  EXPECT_EQ(t->phase, 24);
  const Defaults d;
  EXPECT_EQ(Tune::reconstruct(b, *t, d.v), 0);
}

TEST(TuneExtract, RefillsTheSameTraceAndLeavesTheLabel) {
  Board a, b;
  ASSERT_TRUE(a.setFen("r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10"));
  ASSERT_TRUE(b.setFen("8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1"));
  auto fresh = std::make_unique<Tune::Trace>();
  auto reused = std::make_unique<Tune::Trace>();
  Tune::extract(b, *fresh);
  reused->result = 1.0;
  Tune::extract(a, *reused);
  Tune::extract(b, *reused);
  EXPECT_EQ(reused->result, 1.0);
  EXPECT_EQ(reused->phase, fresh->phase);
  EXPECT_EQ(reused->scale, fresh->scale);
  EXPECT_EQ(reused->mgBase, fresh->mgBase);
  EXPECT_EQ(reused->egBase, fresh->egBase);
  for (int i = 0; i < Tune::NPARAMS; ++i) {
    ASSERT_EQ(reused->coefMg[i], fresh->coefMg[i]) << Tune::paramName(i);
    ASSERT_EQ(reused->coefEg[i], fresh->coefEg[i]) << Tune::paramName(i);
  }
}

// Entries that no position can count: pawn and king endgame deltas, pawns on the first and last
// rank, mobility counts beyond what the piece can reach.
bool neverCounted(int i) {
  if (i >= Tune::kPstEgDelta && i < Tune::kPstEgDelta + 64) return true;
  if (i >= Tune::kPstEgDelta + 64 * King && i < Tune::kBishopPairIdx) return true;
  if (i >= Tune::kPstMg && i < Tune::kPstMg + 8) return true;
  if (i >= Tune::kPstMg + 56 && i < Tune::kPstMg + 64) return true;
  if (i >= Tune::kPawnEg && i < Tune::kPawnEg + 8) return true;
  if (i >= Tune::kPawnEg + 56 && i < Tune::kPawnEg + 64) return true;
  return false;
}

// The reconstruction with the default vector is the evaluation, over thousands of positions from
// random games (every phase, both sides to move, pins, passers, bare endings, and the fifty-move
// counters the walks accumulate).
TEST(TuneExtract, ReconstructionEqualsEvaluateOnRandomWalks) {
  const Defaults d;
  auto t = std::make_unique<Tune::Trace>();
  int positions = 0;
  for (std::uint64_t seed = 1; seed <= 6; ++seed) {
    testsupport::randomWalks(seed, 250, [&](const Board& b) {
      Tune::extract(b, *t);
      const int r = Tune::reconstruct(b, *t, d.v);
      const int e = evaluate(b);
      ASSERT_EQ(r, e) << b.fen();
      for (int i = 0; i < Tune::NPARAMS; ++i)
        if (neverCounted(i)) {
          ASSERT_EQ(t->coefMg[i], 0) << Tune::paramName(i) << " " << b.fen();
          ASSERT_EQ(t->coefEg[i], 0) << Tune::paramName(i) << " " << b.fen();
        }
      ++positions;
    });
  }
  EXPECT_GT(positions, 3000);
}

TEST(TuneExtract, ReconstructionFollowsTheFiftyMoveDamping) {
  const Defaults d;
  auto t = std::make_unique<Tune::Trace>();
  auto b = std::make_unique<Board>();
  auto check = [&](const std::string& why) {
    Tune::extract(*b, *t);
    const int r = Tune::reconstruct(*b, *t, d.v);
    EXPECT_EQ(r, evaluate(*b)) << why << " clock " << int(b->halfmoveClock);
    return r;
  };
  int previous = 1 << 30;
  for (int clock : {0, 63, 97, 100}) {
    ASSERT_TRUE(b->setFen("r5k1/5ppp/8/8/8/8/5PPP/6K1 b - - " + std::to_string(clock) + " 120"));
    const int r = check("fen");
    EXPECT_GT(r, 0);
    EXPECT_LT(r, previous) << "the damping shrinks the score as the clock grows";
    previous = r;
  }
  // Past 200 plies (reachable only by play, the clock saturating at 255) the factor stays 0.
  const char* shuffle[4] = {"g8h8", "g1h1", "h8g8", "h1g1"};
  for (int ply = 0; ply < 160; ++ply) b->makeMove(parseUCIMove(shuffle[ply % 4]));
  ASSERT_EQ(b->halfmoveClock, 255);
  EXPECT_EQ(check("shuffled"), 0);
}

// A changed parameter moves the reconstruction by coefficient times change, blended by phase.
TEST(TuneReconstruct, IsLinearInTheVector) {
  Board b;
  ASSERT_TRUE(b.setFen("6k1/5ppp/8/8/8/8/PP3PPP/6K1 w - - 0 1"));  // phase 0: endgame only
  auto t = std::make_unique<Tune::Trace>();
  Tune::extract(b, *t);
  ASSERT_EQ(t->phase, 0);
  ASSERT_EQ(t->scale, 64);
  ASSERT_EQ(t->coefEg[Tune::kMatEg + Pawn], 2);
  Defaults d;
  const int base = Tune::reconstruct(b, *t, d.v);
  d.v[Tune::kMatEg + Pawn] += 100;
  EXPECT_EQ(Tune::reconstruct(b, *t, d.v), base + 200);
  d.v[Tune::kMatMg + Pawn] += 100;  // middlegame weight is 0 at phase 0
  EXPECT_EQ(Tune::reconstruct(b, *t, d.v), base + 200);
}

}  // namespace
