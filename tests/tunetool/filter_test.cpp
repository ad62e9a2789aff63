// The data filters of the tuner: what each keeps and drops, and the quiet positions of --resolve.
#include "tools/tune/quiet.h"
#include "tunetool_env.h"

using namespace TuneTool;
using tunetest::TempDir;

namespace {

// 1. e4, black to move: quiet, the first of its position.
const char* kQuiet = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1";
// 1. e4 f5 2. Qh5+: black in check, with no capture that answers it.
const char* kCheck = "rnbqkbnr/ppppp1pp/8/5p1Q/4P3/8/PPPP1PPP/RNB1KBNR b KQkq - 1 2";
// The black queen stands where the c3 pawn takes it.
const char* kNoisy = "rnb1kbnr/pppp1ppp/8/4p3/3qP3/2P5/PP1P1PPP/RNBQKBNR w KQkq - 0 3";
// 1. e4 e5, quiet, but scored far beyond any cap.
const char* kDecided = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2";

// Two files; every line has its own score, which names it below. The second file repeats the first
// position with another clock and result.
struct Files {
  TempDir dir;
  std::string first = dir.write("a.txt", std::string(kQuiet) + " [0.5] [10]\n" + kCheck +
                                             " [0.5] [20]\n" + kNoisy + " [0.5] [30]\n" +
                                             kDecided + " [0.5] [2500]\n");
  std::string second = dir.write("b.txt", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - "
                                          "3 7 [1.0] [40]\n");
};

std::vector<int> scoresKept(const DataSet& d) {
  std::vector<int> s;
  for (std::size_t i = 0; i < d.size(); ++i) s.push_back(d.score(i));
  return s;
}

TEST(LoadFilter, EachFilterDropsItsPositions) {
  const Files f;
  const struct {
    const char* name;
    LoadFilter filter;
    std::vector<int> kept;
    std::size_t inCheck, capped, duplicates, noisy, resolved;
  } kCases[] = {
      {"none", {}, {10, 20, 30, 2500, 40}, 0, 0, 0, 0, 0},
      {"drop-check", {.dropCheck = true}, {10, 30, 2500, 40}, 1, 0, 0, 0, 0},
      {"max-score", {.maxScore = 2000}, {10, 20, 30, 40}, 0, 1, 0, 0, 0},
      {"dedup", {.dedup = true}, {10, 20, 30, 2500}, 0, 0, 1, 0, 0},
      {"drop-noisy", {.dropNoisy = true}, {10, 20, 2500, 40}, 0, 0, 0, 1, 0},
      {"resolve", {.resolve = true}, {10, 20, 30, 2500, 40}, 0, 0, 0, 0, 1},
      {"all", {true, 2000, true, true, true}, {10}, 1, 1, 1, 1, 0},
  };
  for (const auto& c : kCases) {
    DataSet d;
    LoadReport report;
    std::string error;
    ASSERT_TRUE(loadFiles({f.first, f.second}, FileFormat::Data, c.filter, d, report, error))
        << error;
    EXPECT_EQ(scoresKept(d), c.kept) << c.name;
    EXPECT_EQ(report.inCheck, c.inCheck) << c.name;
    EXPECT_EQ(report.filtered, c.capped) << c.name;
    EXPECT_EQ(report.duplicates, c.duplicates) << c.name;
    EXPECT_EQ(report.noisy, c.noisy) << c.name;
    EXPECT_EQ(report.resolved, c.resolved) << c.name;
    EXPECT_EQ(report.games, 3u) << c.name;  // the games are those of the lines read
    EXPECT_EQ(report.malformed, 0u) << c.name;
  }
}

// The capture of the queen is the variation's first move; the resolved position is where standing
// pat is best, and the data set holds its features with the line's own result and score.
TEST(LoadFilter, ResolveFitsTheQuietEndOfTheVariation) {
  auto b = std::make_unique<Board>();
  QuietSearch quiet;
  for (const char* fen : {kQuiet, kCheck, kDecided}) {
    ASSERT_TRUE(b->setFen(fen));
    EXPECT_EQ(quiet.bestMove(*b), 0u) << fen;
    EXPECT_EQ(quiet.resolve(*b), 0) << fen;
    EXPECT_EQ(b->fen(), fen);
  }
  ASSERT_TRUE(b->setFen(kNoisy));
  EXPECT_EQ(moveToString(quiet.bestMove(*b)), "c3d4");
  EXPECT_EQ(b->fen(), kNoisy);
  const int plies = quiet.resolve(*b);
  EXPECT_GE(plies, 1);
  EXPECT_EQ(quiet.bestMove(*b), 0u) << b->fen();
  EXPECT_EQ(b->pieces[Black][Queen], 0u) << b->fen();

  TempDir dir;
  const std::string path = dir.write("n.txt", std::string(kNoisy) + " [1.0] [-35]\n");
  DataSet d;
  LoadReport report;
  std::string error;
  ASSERT_TRUE(loadFiles({path}, FileFormat::Data, {.resolve = true}, d, report, error)) << error;
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d.score(0), -35);
  EXPECT_FLOAT_EQ(d.result(0), 1.0f);
  EXPECT_EQ(d.clock(0), b->halfmoveClock);
  Features::Line leaf;
  const char* why = "";
  auto trace = std::make_unique<Tune::Trace>();
  auto scratch = std::make_unique<Board>();
  ASSERT_TRUE(parseDataLine(b->fen() + " [1.0]", *scratch, *trace, leaf, why)) << why;
  ASSERT_EQ(static_cast<std::size_t>(d.end(0) - d.begin(0)), leaf.entries.size());
  for (std::size_t i = 0; i < leaf.entries.size(); ++i) {
    EXPECT_EQ(d.begin(0)[i].index, leaf.entries[i].index);
    EXPECT_EQ(d.begin(0)[i].mg, leaf.entries[i].mg);
    EXPECT_EQ(d.begin(0)[i].eg, leaf.entries[i].eg);
  }
  EXPECT_EQ(d.mgBase(0), leaf.mgBase);
  EXPECT_EQ(d.phase(0), leaf.phase);
}

}  // namespace
