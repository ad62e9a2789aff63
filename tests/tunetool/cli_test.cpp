// The quorvane-tune binary end to end: its options, its outputs and its exit statuses.
#include <algorithm>

#include "formats/param_listing.h"
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

// A datagen file of three short games, search scores included, made once per process.
std::string dataFile(const TempDir& dir) {
  static std::string text;
  if (text.empty()) {
    TempDir scratch;
    EXPECT_EQ(tunetest::runCommand(std::string(QUORVANE_BIN) + " datagen games=3 nodes=300 maxdepth=4 out=" +
                                   scratch.file("games.txt") + " 2>/dev/null"),
              0);
    text = tunetest::readFile(scratch.file("games.txt"));
  }
  return dir.write("games.txt", text);
}

// The data lines with the sign of every search score turned ("FEN [result] [score]").
std::string flippedScores(const std::string& text) {
  std::string out;
  for (const std::string& line : testsupport::lines(text)) {
    const std::size_t open = line.rfind('[');
    const int score = std::stoi(line.substr(open + 1));
    out += line.substr(0, open + 1) + std::to_string(-score) + "]\n";
  }
  return out;
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
                          "--validation 1",
                          "--validation=-0.1",
                          "--batch -3",
                          "--seed -1",
                          "--k nan",
                          "--k 100.5",
                          "--k 1e308",
                          "--reg 1e308",
                          "--reg 1.5e6",
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
                          "--resolve=1",
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

  // A file without line feeds stops at a line far longer than any real one.
  r = tune(dir, "/dev/zero");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "quorvane-tune: /dev/zero:1: a line longer than 16 MiB; not a data or feature file\n");

  // An output that cannot be written fails before any work; one that fills up fails at the end.
  const std::string f = featureFile(dir);
  const struct {
    std::string args, err;
  } outputs[] = {
      {"--out " + dir.path(), "cannot write " + dir.path() + ": Is a directory"},
      {"--log " + dir.file("none/log.tsv"), "cannot write " + dir.file("none/log.tsv") + ": No such file or directory"},
      {"--out /dev/full", "cannot write /dev/full: No space left on device"},
      {"--log /dev/full", "cannot write /dev/full: No space left on device"},
  };
  for (const auto& o : outputs) {
    r = tune(dir, "--epochs 1 " + o.args + " " + f);
    EXPECT_EQ(r.status, 1) << o.args;
    EXPECT_EQ(r.err.substr(r.err.rfind("quorvane-tune: ")), "quorvane-tune: " + o.err + "\n");
  }
}

// What is in the folder besides the files the test made: no temporary file may stay behind.
std::vector<std::string> entries(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// An output naming an input, by any path, is refused before anything is read or written.
TEST(TuneCli, AnOutputThatIsAnInputIsRefused) {
  TempDir dir;
  const std::string in = featureFile(dir), text = tunetest::readFile(in);
  const std::string start = dir.write("start.txt", tunetest::defaultListing());
  std::filesystem::create_symlink(in, dir.file("link.txt"));
  std::filesystem::create_hard_link(in, dir.file("hard.txt"));  // one file, two names
  const std::string dot = dir.path() + "/./features.txt";
  const struct {
    std::string args, err;
  } cases[] = {
      {"--out " + in + " " + in, "--out " + in + " and the input file " + in},
      {"--log " + dot + " " + in, "--log " + dot + " and the input file " + in},
      {"--out " + dir.file("link.txt") + " " + in,
       "--out " + dir.file("link.txt") + " and the input file " + in},
      {"--out " + dir.file("hard.txt") + " " + in,
       "--out " + dir.file("hard.txt") + " and the input file " + in},
      {"--out " + start + " --start " + start + " " + in, "--out " + start + " and --start " + start},
      {"--log " + dir.file("x") + " --out " + dir.file("x") + " " + in,
       "--log " + dir.file("x") + " and --out " + dir.file("x")},
  };
  for (const auto& c : cases) {
    const RunResult r = tune(dir, c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(r.err, "quorvane-tune: " + c.err + " are the same file\n");
    EXPECT_EQ(tunetest::readFile(in), text);
    EXPECT_EQ(tunetest::readFile(start), tunetest::defaultListing());
    EXPECT_EQ(entries(dir), (std::vector<std::string>{"features.txt", "hard.txt", "link.txt",
                                                      "start.txt", "stderr", "stdout"}));
  }
}

// The outputs appear whole at the end of a good fit or not at all: a fit that fails, or one that
// is interrupted, leaves earlier files of those names as they were and no temporary file.
TEST(TuneCli, AFailedOrInterruptedFitLeavesTheOldOutputs) {
  TempDir dir;
  const std::string one = dir.write("one.txt", "1 24 64 0 0 1 0 2 0\n");
  const std::string f = featureFile(dir);
  const std::string outs = " --out " + dir.file("tuned.txt") + " --log " + dir.file("losses.tsv") + " ";
  const std::string bin = QUORVANE_TUNE_BIN;
  const struct {
    const char* what;
    std::string command;
    int status;
  } cases[] = {
      {"a fit that runs away", bin + " --threads 1 --epochs 2 --k 1 --lr 1e12" + outs + one, 1},
      {"SIGINT", "timeout -s INT 0.5 " + bin + " --threads 1 --lr 0.01 --epochs 100000000" + outs + f, 124},
      {"SIGTERM", "timeout -s TERM 0.5 " + bin + " --threads 1 --lr 0.01 --epochs 100000000" + outs + f, 124},
  };
  for (const bool earlier : {true, false}) {
    for (const auto& c : cases) {
      if (earlier) {
        dir.write("tuned.txt", "earlier listing\n");
        dir.write("losses.tsv", "earlier losses\n");
      }
      EXPECT_EQ(tunetest::runCommand(c.command + " 2>/dev/null"), c.status) << c.what;
      std::vector<std::string> expected = {"features.txt", "one.txt"};
      if (earlier) {
        EXPECT_EQ(tunetest::readFile(dir.file("tuned.txt")), "earlier listing\n") << c.what;
        EXPECT_EQ(tunetest::readFile(dir.file("losses.tsv")), "earlier losses\n") << c.what;
        expected = {"features.txt", "losses.tsv", "one.txt", "tuned.txt"};
      }
      EXPECT_EQ(entries(dir), expected) << c.what;
    }
    std::filesystem::remove(dir.file("tuned.txt"));
    std::filesystem::remove(dir.file("losses.tsv"));
  }
  // A good fit replaces them.
  dir.write("tuned.txt", "earlier listing\n");
  const RunResult r = tune(dir, "--epochs 1 --threads 1" + outs + f);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testsupport::lines(tunetest::readFile(dir.file("losses.tsv"))).size(), 3u);
  EXPECT_EQ(tunetest::readFile(dir.file("tuned.txt")).rfind("# Quorvane tune params", 0), 0u);
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

  // The data filters say what they did (what each keeps is tested on the loader).
  RunResult r = tune(dir, "--epochs 0 --drop-check --drop-noisy --dedup --resolve " + games);
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* part : {" positions left out by --drop-check; ", " duplicates removed by --dedup; ",
                           " positions left out by --drop-noisy; ",
                           " positions replaced by their quiet end by --resolve\n"})
    EXPECT_NE(r.err.find(part), std::string::npos) << part << "\n" << r.err;

  r = tune(dir, "--lambda 0.3 " + featureFile(dir));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("quorvane-tune: --lambda needs a search score for every position; "),
            std::string::npos)
      << r.err;
}

// The documented ends of each range are accepted, and do what they say.
TEST(TuneCli, TheBoundariesOfTheRangesAreAccepted) {
  TempDir dir;
  const std::string games = dataFile(dir);
  const struct {
    const char* args;
    const char* says;
  } cases[] = {
      {"--lambda 0", "quorvane-tune: start loss: "},
      {"--lambda 1", "quorvane-tune: target = 1 * sigmoid(K * search score) + 0 * result"},
      {"--validation 0", " training and 0 validation positions"},
      {"--k 100", "quorvane-tune: K = 100.000000 (given)"},
      {"--reg 1e6", " parameters changed\n"},
      {"--threads 65", " are tuned; 64 threads\n"},  // the pool's most, not an error
  };
  for (const auto& c : cases) {
    const RunResult r = tune(dir, std::string("--epochs 1 --batch 64 ") + c.args + " " + games);
    EXPECT_EQ(r.status, 0) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << "\n" << r.err;
  }
}

// The target blends sigmoid(K * score) with the result, K being the fitted one: turning the sign of
// every score must change the fit when the scores count (lambda > 0), and must not when they do not.
TEST(TuneCli, TheBlendReadsTheScoresWithTheFittedK) {
  TempDir dir;
  const std::string games = dataFile(dir);
  const std::string flipped = dir.write("flipped.txt", flippedScores(tunetest::readFile(games)));
  for (const std::string lambda : {"0", "0.5"}) {
    const std::string args = "--epochs 1 --batch 32 --threads 1 --lambda " + lambda + " ";
    const RunResult a = tune(dir, args + games), b = tune(dir, args + flipped);
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(a.out == b.out, lambda == "0") << "lambda " << lambda;
  }
}

TEST(TuneCli, StartsFromAGivenListing) {
  TempDir dir;
  std::string listing = tunetest::defaultListing();
  listing.replace(listing.find("\n1038 bishopPair 56\n"), 20, "\n1038 bishopPair 77\n");
  // Editors' additions: a byte-order mark and an indented comment.
  const std::string startFile = dir.write("start.txt", "\xEF\xBB\xBF  # edited by hand\n" + listing);
  RunResult r = tune(dir, "--epochs 0 --k 1.1 --start " + startFile + " " + featureFile(dir));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, listing);
  EXPECT_NE(r.err.find("quorvane-tune: K = 1.100000 (given)\n"), std::string::npos) << r.err;

  r = tune(dir, "--start " + dir.write("bad.txt", "0 matMg_P 93\n") + " " + featureFile(dir));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "quorvane-tune: " + dir.file("bad.txt") + ":1: parameter 1 matMg_N is missing after this line\n");
}

// --compare: the two listings side by side, through the same reader as --start.
TEST(TuneCli, ComparePrintsBothListingsByName) {
  TempDir dir;
  std::string after = tunetest::defaultListing();
  after.replace(after.find("\n1038 bishopPair 56\n"), 20, "\n1038 bishopPair 77\n");
  const std::string before = dir.write("before.txt", tunetest::defaultListing());
  RunResult r = tune(dir, "--compare " + before + " " + dir.write("after.txt", after));
  EXPECT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> rows = testsupport::lines(r.out);
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(Tune::NPARAMS));
  EXPECT_EQ(rows[0], "matMg_P\t" + std::to_string(tunetest::defaults()[0]) + "\t" +
                         std::to_string(tunetest::defaults()[0]));
  EXPECT_EQ(rows[1038], "bishopPair\t56\t77");

  r = tune(dir, "--compare " + before + " " + dir.write("bad.txt", "0 matMg_P 93\n"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "quorvane-tune: " + dir.file("bad.txt") + ":1: parameter 1 matMg_N is missing after this line\n");
  EXPECT_EQ(r.out, "");
  r = tune(dir, "--compare " + before);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("quorvane-tune: --compare needs two listings, BEFORE and AFTER\n", 0), 0u) << r.err;
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
  EXPECT_FALSE(std::filesystem::exists(out));  // checked for writing, never written
}

}  // namespace
