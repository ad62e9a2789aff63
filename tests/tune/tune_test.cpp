// The tuning vector: names and defaults, and extraction + reconstruction against evaluate.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "eval/eval.h"
#include "support/eval_env.h"
#include "support/capture.h"
#include "support/random_walk.h"
#include "tune/tune.h"

namespace {

struct Defaults {
  int v[Tune::NPARAMS];
  Defaults() { Tune::initValues(v); }
};

TEST(TuneVector, NamesFollowTheLayout) {
  const std::pair<int, const char*> known[] = {
      {0, "matMg_P"},         {4, "matMg_Q"},          {5, "matEg_P"},       {9, "matEg_Q"},
      {10, "pstMg_P_0"},      {136, "pstMg_N_62"},     {393, "pstMg_K_63"},  {394, "pawnEg_0"},
      {457, "pawnEg_63"},     {458, "kingEg_0"},       {521, "kingEg_63"},   {522, "mobMg_N_0"},
      {530, "mobMg_N_8"},     {531, "mobEg_N_0"},      {539, "mobEg_N_8"},   {540, "mobMg_B_0"},
      {567, "mobEg_B_13"},    {568, "mobMg_R_0"},      {597, "mobEg_R_14"},  {598, "mobMg_Q_0"},
      {625, "mobMg_Q_27"},    {626, "mobEg_Q_0"},      {653, "mobEg_Q_27"},  {654, "pstEgDelta_P_0"},
      {1037, "pstEgDelta_K_63"}, {1038, "bishopPair"}, {1039, "rookOpenMg"}, {1042, "rookSemiEg"},
      {1043, "passedMg_0"},   {1050, "passedMg_7"},    {1051, "passedEg_0"}, {1058, "passedEg_7"},
      {1059, "isolatedMg"},   {1064, "connectedEg"},   {1065, "ksSafety_0"}, {1080, "ksSafety_15"},
      {1081, "ksOpenFile"},   {-1, "?"},               {1082, "?"}};
  for (const auto& [index, name] : known) EXPECT_EQ(Tune::paramName(index), name) << index;

  std::set<std::string> names;
  for (int i = 0; i < Tune::NPARAMS; ++i) {
    const std::string n = Tune::paramName(i);
    EXPECT_NE(n, "?") << i;
    EXPECT_TRUE(names.insert(n).second) << "duplicate name " << n;
  }
}

TEST(TuneVector, DefaultsAreTheEngineConstants) {
  const Defaults d;
  const int mat[10] = {93, 380, 374, 493, 1283, 153, 323, 359, 635, 1015};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(d.v[i], mat[i]) << i;
  for (int i = Tune::kPstEgDelta; i < Tune::kBishopPairIdx; ++i) EXPECT_EQ(d.v[i], 0) << i;
  const int tail[] = {56, 51, -3, 20, 24, 0, 2, -12, -12, 9, 40, 6, 0, 0, 13, 24, 51, 75, 105, 25, 0,
                      -8, -10, -10, -10, 7, 6};
  for (int k = 0; k < 27; ++k) EXPECT_EQ(d.v[1038 + k], tail[k]) << 1038 + k;
  EXPECT_EQ(d.v[Tune::kKsSafetyIdx + 10], 723);
  EXPECT_EQ(d.v[Tune::kKsOpenFileIdx], 31);
  // Mobility rows are linear up to the largest count: knight middlegame -24 + 6n.
  EXPECT_EQ(d.v[Tune::kMobMgStart[Knight] + 8], 24);
  EXPECT_EQ(d.v[Tune::kMobEgStart[Queen] + 27], -48 + 6 * 27);
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
