// Whole data-generation runs in process: file contents, determinism, summaries and progress lines.
#include <algorithm>
#include <bit>
#include <memory>
#include <random>

#include "datagen_env.h"
#include "movegen/movegen.h"
#include "support/capture.h"

using dgtest::lines;
using dgtest::readFile;
using dgtest::TempDir;

namespace {

struct RunOutcome {
  int status = -1;
  std::string err;
  std::string file;
};

// Tiny games: every run below stays well under a second even under sanitizers.
DataGenConfig tinyConfig(const std::string& out) {
  return {.games = 3,
          .out = out,
          .seed = 5,
          .nodes = 200,
          .maxdepth = 3,
          .maxplies = 60,
          .progress = 0};
}

RunOutcome run(const DataGenConfig& c) {
  RunOutcome r;
  testsupport::StreamCapture errors(std::cerr);
  r.status = runDataGen(c);
  r.err = errors.text();
  r.file = readFile(c.out);
  return r;
}

std::string summaryPrefix(long long games, long long positions, long long skipped) {
  return "datagen: готово — " + std::to_string(games) + " партій, " + std::to_string(positions) +
         " позицій, " + std::to_string(skipped) + " відкинуто, ";
}

}  // namespace

TEST(DataGenRun, WritesParsableLinesWithSettingsAndSummary) {
  TempDir dir;
  const DataGenConfig c = tinyConfig(dir.file("d.txt"));
  const RunOutcome r = run(c);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> err = lines(r.err);
  ASSERT_EQ(err.size(), 2u) << r.err;
  EXPECT_EQ(err[0],
            "datagen: games=3 out=" + c.out + " seed=5 nodes=200 maxdepth=3 randomplies=8 score=1");

  const std::vector<std::string> data = lines(r.file);
  ASSERT_FALSE(data.empty());
  EXPECT_EQ(r.file.back(), '\n');
  auto board = std::make_unique<Board>();
  for (const std::string& l : data) {
    DataLine::Sample s;
    ASSERT_TRUE(DataLine::parse(l, s)) << l;
    EXPECT_TRUE(s.hasScore) << l;
    EXPECT_TRUE(board->setFen(s.fen)) << l;
    EXPECT_EQ(board->fen(), s.fen);                // written as Board::fen writes it
    EXPECT_LT(std::abs(s.score), c.evalcap) << l;  // larger scores are not kept
    EXPECT_FALSE(board->inCheck()) << l;           // skipcheck
    EXPECT_NE(l.find("] ["), std::string::npos) << l;
  }
  EXPECT_TRUE(err[1].starts_with(summaryPrefix(3, static_cast<long long>(data.size()), 0)))
      << err[1];
  EXPECT_TRUE(err[1].ends_with(" с")) << err[1];
}

TEST(DataGenRun, SameSeedSameFileOtherSeedOtherFile) {
  TempDir dir;
  DataGenConfig c = tinyConfig(dir.file("a.txt"));
  const RunOutcome a = run(c);
  c.out = dir.file("b.txt");
  const RunOutcome b = run(c);
  c.out = dir.file("c.txt");
  c.seed = 6;
  const RunOutcome other = run(c);
  ASSERT_EQ(a.status, 0);
  ASSERT_FALSE(a.file.empty());
  EXPECT_EQ(a.file, b.file);
  EXPECT_NE(a.file, other.file);
}

TEST(DataGenRun, ScoreBracketCanBeLeftOut) {
  TempDir dir;
  DataGenConfig c = tinyConfig(dir.file("d.txt"));
  c.games = 1;
  c.score = false;
  const RunOutcome r = run(c);
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.err.find(" score=0\n"), std::string::npos);
  ASSERT_FALSE(r.file.empty());
  for (const std::string& l : lines(r.file)) {
    DataLine::Sample s;
    ASSERT_TRUE(DataLine::parse(l, s)) << l;
    EXPECT_FALSE(s.hasScore) << l;
  }
}

// Without random plies every game starts from the initial position, whose quiet first move is kept.
TEST(DataGenRun, NoRandomPliesStartsFromTheInitialPosition) {
  TempDir dir;
  DataGenConfig c = tinyConfig(dir.file("d.txt"));
  c.games = 1;
  c.randomplies = 0;
  const RunOutcome r = run(c);
  ASSERT_EQ(r.status, 0);
  EXPECT_TRUE(r.file.starts_with(std::string(kStartFen) + " [")) << r.file.substr(0, 80);
}

// The opening's moves are drawn from MT19937-64 seeded with seed + game index: low bits of each
// output, rejected while not below the number of legal moves, moves in generation order.
TEST(DataGenRun, OpeningFollowsTheDocumentedDraw) {
  TempDir dir;
  DataGenConfig c = tinyConfig(dir.file("d.txt"));
  c.games = 1;
  c.seed = 123;
  c.randomplies = 3;
  c.openingcap = 1000000;
  c.skipquiet = false;
  c.skipcheck = false;
  c.evalcap = 1000000;
  const RunOutcome r = run(c);
  ASSERT_EQ(r.status, 0);

  auto b = std::make_unique<Board>();
  b->setFen(kStartFen);
  std::mt19937_64 gen(123);
  for (int i = 0; i < 3; ++i) {
    MoveList list;
    generateLegalMoves(*b, list);
    u64 v = 0;
    do {
      v = gen() & ((u64{1} << std::bit_width(static_cast<unsigned>(list.size - 1))) - 1);
    } while (v >= static_cast<u64>(list.size));
    b->makeMove(list.moves[v]);
  }
  EXPECT_TRUE(r.file.starts_with(b->fen() + " [")) << r.file.substr(0, 80);
}

TEST(DataGenRun, NoOpeningTriesSkipsEveryGame) {
  TempDir dir;
  DataGenConfig c = tinyConfig(dir.file("d.txt"));
  c.openingtries = 0;
  c.progress = 1;
  const RunOutcome r = run(c);
  ASSERT_EQ(r.status, 0);
  EXPECT_TRUE(r.file.empty());
  const std::vector<std::string> err = lines(r.err);
  ASSERT_EQ(err.size(), 2u) << r.err;  // skipped games print no progress
  EXPECT_TRUE(err[1].starts_with(summaryPrefix(0, 0, 3))) << err[1];
}

TEST(DataGenRun, ZeroMaxPliesWritesGamesWithoutLines) {
  TempDir dir;
  DataGenConfig c = tinyConfig(dir.file("d.txt"));
  c.maxplies = 0;
  const RunOutcome r = run(c);
  ASSERT_EQ(r.status, 0);
  EXPECT_TRUE(r.file.empty());
  EXPECT_TRUE(lines(r.err).back().starts_with(summaryPrefix(3, 0, 0))) << r.err;
}

TEST(DataGenRun, ProgressLines) {
  TempDir dir;
  DataGenConfig c = tinyConfig(dir.file("d.txt"));
  c.maxplies = 2;
  c.progress = 1;
  RunOutcome r = run(c);
  ASSERT_EQ(r.status, 0);
  std::vector<std::string> err = lines(r.err);
  ASSERT_EQ(err.size(), 5u) << r.err;
  const long long written = static_cast<long long>(lines(r.file).size());
  EXPECT_TRUE(err[1].starts_with("  1/3 партій, ")) << err[1];
  EXPECT_TRUE(
      err[3].starts_with("  3/3 партій, " + std::to_string(written) + " позицій, 0 відкинуто, "))
      << err[3];
  EXPECT_TRUE(err[3].ends_with(" партій/с")) << err[3];

  c.progress = 2;  // only after the second game
  r = run(c);
  err = lines(r.err);
  ASSERT_EQ(err.size(), 3u) << r.err;
  EXPECT_TRUE(err[1].starts_with("  2/3 партій, ")) << err[1];

  c.progress = 0;
  EXPECT_EQ(lines(run(c).err).size(), 2u);
}

// Parallel workers and seed-range shards must give the one-worker file byte for byte, and the same
// messages in the same order (only the timings may differ).
TEST(DataGenRun, WorkersAndShardsWriteTheOneWorkerFile) {
  TempDir dir;
  DataGenConfig c = tinyConfig(dir.file("one.txt"));
  c.games = 6;
  c.progress = 2;
  const RunOutcome one = run(c);
  ASSERT_EQ(one.status, 0) << one.err;
  ASSERT_FALSE(one.file.empty());
  // A message without its timing: the part before the rate of a progress line or the time of the
  // summary.
  auto untimed = [](const std::string& err) {
    std::vector<std::string> out;
    for (const std::string& l : lines(err)) out.push_back(l.substr(0, l.rfind(", ")));
    return out;
  };
  std::vector<std::string> expected = untimed(one.err);
  ASSERT_EQ(expected.size(), 5u) << one.err;
  // Appending (not "t" + string) avoids a false -Wrestrict of g++ 12.
  auto numbered = [](const char* stem, long long n) {
    std::string name(stem);
    name += std::to_string(n);
    return name += ".txt";
  };

  for (const int threads : {2, 3, 7}) {
    c.threads = threads;
    c.out = dir.file(numbered("t", threads));
    const RunOutcome r = run(c);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.file, one.file) << threads << " threads";
    expected[0] = one.err.substr(0, one.err.find('\n'));
    expected[0].replace(expected[0].find("one.txt"), 7, numbered("t", threads));
    expected[0] += " threads=";
    expected[0] += std::to_string(threads);
    EXPECT_EQ(untimed(r.err), expected) << r.err;
  }

  // Shard i of K plays games seed + i * games .. with the same settings; in index order the shards
  // are the one-machine file.
  std::string shards;
  for (const unsigned long long index : {0, 1, 2}) {
    DataGenConfig shard = tinyConfig(dir.file(numbered("shard", static_cast<long long>(index))));
    shard.games = 2;
    shard.seed = 5 + index * 2;
    shard.threads = 2;
    const RunOutcome r = run(shard);
    ASSERT_EQ(r.status, 0) << r.err;
    shards += r.file;
  }
  EXPECT_EQ(shards, one.file);
}

// Plies from the start position of a written line (its FEN's move number and side).
static int plyOf(const std::string& line) {
  auto b = std::make_unique<Board>();
  DataLine::Sample s;
  EXPECT_TRUE(DataLine::parse(line, s) && b->setFen(s.fen)) << line;
  return 2 * (b->fullmoveNumber - 1) + (b->side == Black);
}

// sample and minply only thin the lines of each game: minply drops exactly the early plies, sample
// keeps the given count of the rest, in order.
TEST(DataGenRun, SampleAndMinplyThinEachGame) {
  TempDir dir;
  const struct {
    int sample, minply;
  } kCases[] = {{0, 0}, {0, 20}, {3, 0}, {3, 20}, {1000, 0}};
  for (const unsigned long long seed : {5, 9}) {
    DataGenConfig c = tinyConfig(dir.file("all.txt"));
    c.games = 1;  // one game per file: its lines are the game's
    c.seed = seed;
    const std::vector<std::string> all = lines(run(c).file);
    ASSERT_GT(all.size(), 6u);
    for (const auto& k : kCases) {
      c.out = dir.file("thin.txt");
      c.sample = k.sample;
      c.minply = k.minply;
      const RunOutcome r = run(c);
      ASSERT_EQ(r.status, 0) << r.err;
      std::vector<std::string> late;
      for (const std::string& l : all)
        if (plyOf(l) >= k.minply) late.push_back(l);
      const std::vector<std::string> kept = lines(r.file);
      const std::size_t want = k.sample > 0 ? std::min<std::size_t>(k.sample, late.size()) : late.size();
      EXPECT_EQ(kept.size(), want) << seed << " " << k.sample << " " << k.minply;
      if (k.sample == 0) {
        EXPECT_EQ(kept, late);
      }
      auto it = late.begin();  // kept is a subsequence of late
      for (const std::string& l : kept) it = std::find(it, late.end(), l);
      EXPECT_NE(it, late.end()) << seed << " " << k.sample << " " << k.minply;
    }
  }
}

// The sample is drawn from the game's own generator: workers and shards still give one file.
TEST(DataGenRun, SampledFileIsTheSameForWorkersAndShards) {
  TempDir dir;
  DataGenConfig c = tinyConfig(dir.file("one.txt"));
  c.games = 4;
  c.sample = 2;
  c.minply = 12;
  const RunOutcome one = run(c);
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_NE(one.err.find(" sample=2 minply=12\n"), std::string::npos) << one.err;
  EXPECT_LE(lines(one.file).size(), 8u);
  c.threads = 2;
  c.out = dir.file("two.txt");
  EXPECT_EQ(run(c).file, one.file);
  c.games = 2;
  c.out = dir.file("s0.txt");
  const std::string first = run(c).file;
  c.seed += 2;
  c.out = dir.file("s1.txt");
  EXPECT_EQ(first + run(c).file, one.file);
}

TEST(DataGenRun, UnwritableOutput) {
  TempDir dir;
  DataGenConfig c = tinyConfig(dir.file("missing/d.txt"));
  const RunOutcome r = run(c);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "datagen: не вдалося відкрити для запису: " + c.out + "\n");
}

// A write that fails (here: a full device) must not be reported as a finished run.
TEST(DataGenRun, WriteErrorIsAFailure) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  DataGenConfig c = tinyConfig("/dev/full");
  c.maxplies = 10;
  c.skipquiet = false;
  for (const int threads : {1, 2}) {  // the other workers stop too
    c.games = threads == 1 ? 1 : 20;
    c.threads = threads;
    testsupport::StreamCapture errors(std::cerr);
    const int status = runDataGen(c);
    const std::string err = errors.text();
    EXPECT_EQ(status, 1);
    EXPECT_NE(err.find("datagen: помилка запису: /dev/full\n"), std::string::npos) << err;
    EXPECT_EQ(err.find("готово"), std::string::npos) << err;
  }
}

// Long random openings and long games must not run out of undo records (1024).
TEST(DataGenRun, LongOpeningsAndGamesFitTheUndoStack) {
  TempDir dir;
  DataGenConfig c = dgtest::noAdjudication(tinyConfig(dir.file("d.txt")));
  c.games = 2;
  c.nodes = 50;
  c.maxdepth = 2;
  c.randomplies = 1100;
  c.openingcap = 1000000;
  c.maxplies = 2000;
  const RunOutcome r = run(c);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(lines(r.err).back().starts_with("datagen: готово — 2 партій, ")) << r.err;
}
