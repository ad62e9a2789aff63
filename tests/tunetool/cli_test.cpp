// The quorvane-tune binary end to end: its options, its outputs and its exit statuses.
#include "tools/params/listing.h"
#include "support/uci_process.h"
#include "tunetool_env.h"

using testsupport::RunResult;
using tunetest::TempDir;

namespace {

RunResult tune(const TempDir& dir, const std::string& args) {
  RunResult r;
  r.status = tunetest::runCommand(std::string(QUORVANE_TUNE_BIN) + " " + args + " >" +
                                  dir.file("stdout") + " 2>" + dir.file("stderr") + " </dev/null");
  r.out = tunetest::readFile(dir.file("stdout"));
  r.err = tunetest::readFile(dir.file("stderr"));
  return r;
}

// A small feature file from random-walk positions with results alternating 1, 0.5, 0.
std::string featureFile(const TempDir& dir) {
  static std::string text;
  if (text.empty()) {
    auto trace = std::make_unique<Tune::Trace>();
    auto board = std::make_unique<Board>();
    int n = 0;
    testsupport::randomWalks(21, 40, [&](const Board& b) {
      board->setFen(tunetest::withClockZero(b.fen()));
      Tune::extract(*board, *trace);
      text += tunetest::featureLine((n++ % 3) / 2.0, *trace) + "\n";
    });
  }
  return dir.write("features.txt", text);
}

TEST(TuneCli, HelpAndBadCommandLines) {
  TempDir dir;
  RunResult r = tune(dir, "--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("usage: quorvane-tune [options] FILE...\n", 0), 0u) << r.out;
  EXPECT_EQ(r.err, "");

  r = tune(dir, "");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("quorvane-tune: no data or feature file given\nusage: ", 0), 0u) << r.err;
  EXPECT_EQ(r.out, "");

  const std::string f = featureFile(dir);
  for (const char* bad : {"--epochs -1",
                          "--epochs=x",
                          "--lr 0",
                          "--threads 0",
                          "--threads 65",
                          "--validation 1",
                          "--validation=-0.1",
                          "--batch -3",
                          "--seed -1",
                          "--k nan",
                          "--lr-decay 0",
                          "--lr-decay 1.5",
                          "--bogus 1",
                          "-x",
                          "--out",
                          "--out=",
                          "--lambda 1.5",
                          "--lambda=-0.1",
                          "--reg -1",
                          "--max-score 0",
                          "--format xml",
                          "--log="}) {
    r = tune(dir, std::string(bad) + " " + f);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find("usage: "), std::string::npos) << bad << ": " << r.err;
    EXPECT_EQ(r.out, "") << bad;
  }
  r = tune(dir, "--freeze 'matMg_*,nosuch*' " + f);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "quorvane-tune: freeze pattern 'nosuch*' matches no parameter\n");
}

TEST(TuneCli, UnreadableOrEmptyInputIsAnError) {
  TempDir dir;
  RunResult r = tune(dir, dir.file("missing.txt"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("quorvane-tune: cannot open " + dir.file("missing.txt") + ": ", 0), 0u)
      << r.err;
  EXPECT_EQ(r.out, "");

  r = tune(dir, dir.write("empty.txt", "\n\n"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "quorvane-tune: no positions to tune on\n");

  r = tune(dir, dir.write("junk.txt", "junk\n1 24 64 0 0 1 5000 1 1\n"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "quorvane-tune: skipped 2 malformed lines (" + dir.file("junk.txt") +
                       ":1: result is not a number in 0..1; " + dir.file("junk.txt") +
                       ":2: parameter index is not an integer in 0..1081)\n"
                       "quorvane-tune: no positions to tune on\n");

  // An output that cannot be written fails before any work.
  r = tune(dir, "--out " + dir.path() + " " + featureFile(dir));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "quorvane-tune: cannot write " + dir.path() + "\n");
}

TEST(TuneCli, ZeroEpochsWriteTheEnginesListing) {
  TempDir dir;
  const RunResult r = tune(dir, "--epochs 0 --threads 1 " + featureFile(dir));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, tunetest::defaultListing());
  EXPECT_NE(r.err.find("quorvane-tune: K = "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("quorvane-tune: 0 parameters changed\n"), std::string::npos) << r.err;
  // The same listing as the engine's own subcommand prints.
  const std::string listing = dir.file("engine.txt");
  ASSERT_EQ(tunetest::runCommand(std::string(QUORVANE_BIN) + " tuneparams >" + listing), 0);
  EXPECT_EQ(r.out, tunetest::readFile(listing));
}

TEST(TuneCli, TunesWritesTheListingAndReportsProgress) {
  TempDir dir;
  const std::string f = featureFile(dir);
  const std::string withJunk = dir.write("more.txt", "1 24 64 0 0 1 3 1 1\nnot a line\n");
  const RunResult r =
      tune(dir,
           "--epochs 3 --batch 64 --lr 2 --lr-decay 0.9 --threads 2 --seed 5 --validation 0.2 "
           "--freeze 'matMg_*' "
           "--freeze=matEg_* --out " +
               dir.file("tuned.txt") + " " + f + " " + withJunk);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  for (const char* part :
       {"quorvane-tune: skipped 1 malformed line (", "more.txt:2: result is not a number",
        " training and ", " validation positions", "quorvane-tune: K = ",
        "quorvane-tune: start loss: train ", "epoch 1/3  train ", "epoch 3/3  train ", "  valid ",
        "  left 0.0s\n", "quorvane-tune: final loss (rounded values): train "})
    EXPECT_NE(r.err.find(part), std::string::npos) << part << "\n" << r.err;

  std::vector<int> tuned(Tune::NPARAMS, 0), start(Tune::NPARAMS);
  Tune::initValues(start.data());
  std::istringstream in(tunetest::readFile(dir.file("tuned.txt")));
  ParamListing::Error error;
  ASSERT_TRUE(ParamListing::read(in, tuned.data(), error)) << error.message;
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(tuned[static_cast<std::size_t>(i)], start[static_cast<std::size_t>(i)]);
  EXPECT_NE(tuned, start);

  // The same run again gives the same file.
  const std::string first = tunetest::readFile(dir.file("tuned.txt"));
  const RunResult again = tune(dir,
                             "--epochs 3 --batch 64 --lr 2 --lr-decay=0.9 --threads 1 --seed 5 "
                             "--validation 0.2 --freeze 'matMg_*' "
                             "--freeze=matEg_* --out " +
                                 dir.file("tuned.txt") + " " + f + " " + withJunk);
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(tunetest::readFile(dir.file("tuned.txt")), first);
}

// A datagen file read directly, with the blended target and the loss table; the same result with
// one and two threads. The blend needs scores, which feature files lack.
TEST(TuneCli, DataFilesBlendTheScoreAndLogTheLosses) {
  TempDir dir;
  const std::string games = dir.file("games.txt");
  ASSERT_EQ(
      tunetest::runCommand(std::string(QUORVANE_BIN) +
                           " datagen games=3 nodes=300 maxdepth=4 out=" + games + " 2>/dev/null"),
      0);
  std::string first;
  for (const char* threads : {"2", "1"}) {
    const RunResult r = tune(dir, std::string("--epochs 2 --batch 32 --lambda 0.5 --reg 1e-6 ") +
                                    "--max-score 1500 --threads " + threads + " --log " +
                                    dir.file("log.tsv") + " " + games);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* part :
         {"quorvane-tune: 1 data file: 3 games; ", " positions left out by --max-score\n",
          "quorvane-tune: target = 0.5 * sigmoid(K * search score) + 0.5 * result"})
      EXPECT_NE(r.err.find(part), std::string::npos) << part << "\n" << r.err;
    if (first.empty()) first = r.out;
    EXPECT_EQ(r.out, first) << threads << " threads";
    const std::vector<std::string> rows = testsupport::lines(tunetest::readFile(dir.file("log.tsv")));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], "epoch\ttrain\tvalid\tseconds");
    EXPECT_EQ(rows[1].rfind("0\t0.", 0), 0u) << rows[1];
    EXPECT_EQ(rows[3].rfind("2\t0.", 0), 0u) << rows[3];
  }
  EXPECT_NE(first, tunetest::defaultListing());

  const RunResult r = tune(dir, "--lambda 0.3 " + featureFile(dir));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("quorvane-tune: --lambda needs a search score for every position; "),
            std::string::npos)
      << r.err;
}

TEST(TuneCli, StartsFromAGivenListing) {
  TempDir dir;
  std::string listing = tunetest::defaultListing();
  listing.replace(listing.find("\n1038 bishopPair 56\n"), 20, "\n1038 bishopPair 77\n");
  const std::string startFile = dir.write("start.txt", listing);
  RunResult r = tune(dir, "--epochs 0 --k 1.1 --start " + startFile + " " + featureFile(dir));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, listing);
  EXPECT_NE(r.err.find("quorvane-tune: K = 1.100000 (given)\n"), std::string::npos) << r.err;

  r = tune(dir, "--start " + dir.write("bad.txt", "0 matMg_P 93\n") + " " + featureFile(dir));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "quorvane-tune: " + dir.file("bad.txt") + ":1: parameter 1 matMg_N is missing after this line\n");
}

// A fit that runs away stops before it writes a value the engine could not hold.
TEST(TuneCli, AFitLeavingTheValueRangeIsAnError) {
  TempDir dir;
  const std::string one = dir.write("one.txt", "1 24 64 0 0 1 0 2 0\n");
  const std::string out = dir.file("tuned.txt");
  const RunResult r = tune(dir, "--threads 1 --epochs 2 --k 1 --lr 1e12 --out " + out + " " + one);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("quorvane-tune: epoch 1: parameter matMg_P would leave 1..5000; try a smaller "
                       "--lr or freeze it\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(tunetest::readFile(out), "");  // checked for writing, never written
}

}  // namespace
