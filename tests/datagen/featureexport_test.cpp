// The feature export: counts, the format of a feature line, and refusal of inputs and outputs it
// must not use.
#include <filesystem>
#include <memory>

#include "datagen_env.h"
#include "eval/eval.h"
#include "support/capture.h"
#include "support/uci_process.h"
#include "tune/tune.h"

using dgtest::lines;
using dgtest::readFile;
using dgtest::TempDir;
using dgtest::writeFile;

namespace {

// The export's exit status and what it wrote on standard error.
testsupport::RunResult exportFile(const std::string& in, const std::string& out) {
  testsupport::RunResult e;
  testsupport::StreamCapture errors(std::cerr);
  e.status = runFeatureExport(in, out);
  e.err = errors.text();
  return e;
}

std::vector<long long> numbers(const std::string& line, std::string& first) {
  std::istringstream in(line);
  in >> first;
  std::vector<long long> out;
  for (long long v; in >> v;) out.push_back(v);
  return out;
}

const char* kMiddlegame = "r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 0 1";
const char* kEndgame = "8/8/3k4/2p5/2P5/3K4/8/8 b - - 3 40";

}  // namespace

TEST(FeatureExport, CountsAndFeatureLines) {
  TempDir dir;
  const std::string in = dir.file("data.txt");
  const std::string out = dir.file("features.txt");
  writeFile(in, std::string(kMiddlegame) + " [1.0] [35]\n" +  // valid
                    "\n" +                                    // empty: counted nowhere
                    "not a fen [0.5] [0]\n" +                 // bad FEN
                    std::string(kEndgame) + " [0.50]\n" +     // bad result bracket
                    " \t \n" +                                // blanks only: ignored
                    "\r\n" +                                  // carriage return only: ignored
                    std::string(kEndgame) + " [0.0]\r\n" +    // valid, no score, CRLF
                    std::string(kMiddlegame) + " [0.5]");     // valid, no final newline
  const auto e = exportFile(in, out);
  ASSERT_EQ(e.status, 0) << e.err;
  EXPECT_EQ(e.err, "featureexport: 3 позицій, 2 невалідних, 1082 параметрів\n");

  const std::vector<std::string> got = lines(readFile(out));
  ASSERT_EQ(got.size(), 3u);
  const char* fens[3] = {kMiddlegame, kEndgame, kMiddlegame};
  const char* results[3] = {"1", "0", "0.5"};
  auto board = std::make_unique<Board>();
  auto trace = std::make_unique<Tune::Trace>();
  for (int n = 0; n < 3; ++n) {
    std::string first;
    const std::vector<long long> v = numbers(got[n], first);
    EXPECT_EQ(first, results[n]);
    ASSERT_GE(v.size(), 5u);
    const long long k = v[4];
    ASSERT_EQ(static_cast<long long>(v.size()), 5 + 3 * k) << got[n];

    // The line holds exactly what the extraction gives for the position.
    ASSERT_TRUE(board->setFen(fens[n]));
    *trace = Tune::Trace{};
    Tune::extract(*board, *trace);
    EXPECT_EQ(v[0], trace->phase);
    EXPECT_EQ(v[1], trace->scale);
    EXPECT_EQ(v[2], trace->mgBase);
    EXPECT_EQ(v[3], trace->egBase);
    long long previous = -1;
    int nonZero = 0;
    for (int i = 0; i < Tune::NPARAMS; ++i)
      nonZero += trace->coefMg[i] != 0 || trace->coefEg[i] != 0;
    EXPECT_EQ(k, nonZero);
    for (long long j = 0; j < k; ++j) {
      const long long i = v[5 + 3 * j];
      ASSERT_GT(i, previous);
      ASSERT_LT(i, Tune::NPARAMS);
      previous = i;
      EXPECT_EQ(v[6 + 3 * j], trace->coefMg[i]) << "parameter " << i;
      EXPECT_EQ(v[7 + 3 * j], trace->coefEg[i]) << "parameter " << i;
    }
  }
  EXPECT_EQ(got[0].substr(0, 5), "1 24 ");  // the full-material phase
}

TEST(FeatureExport, OnlyEmptyLines) {
  TempDir dir;
  const std::string in = dir.file("data.txt");
  const std::string out = dir.file("features.txt");
  writeFile(in, "\n\n\n");
  writeFile(out, "old contents\n");
  const auto e = exportFile(in, out);
  EXPECT_EQ(e.status, 0);
  EXPECT_EQ(e.err, "featureexport: 0 позицій, 0 невалідних, 1082 параметрів\n");
  EXPECT_TRUE(std::filesystem::exists(out));
  EXPECT_EQ(readFile(out), "");
}

TEST(FeatureExport, UnopenableInputCreatesNoOutput) {
  TempDir dir;
  const std::string out = dir.file("features.txt");
  auto e = exportFile(dir.file("missing.txt"), out);
  EXPECT_EQ(e.status, 1);
  EXPECT_EQ(e.err, "featureexport: не відкрити вхід: " + dir.file("missing.txt") + "\n");
  EXPECT_FALSE(std::filesystem::exists(out));

  // A directory reads as nothing on some systems: it is refused the same way.
  e = exportFile(dir.path(), out);
  EXPECT_EQ(e.status, 1);
  EXPECT_EQ(e.err, "featureexport: не відкрити вхід: " + dir.path() + "\n");
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(FeatureExport, UnopenableOutput) {
  TempDir dir;
  const std::string in = dir.file("data.txt");
  writeFile(in, std::string(kEndgame) + " [0.5]\n");
  const std::string out = dir.file("missing/features.txt");
  const auto e = exportFile(in, out);
  EXPECT_EQ(e.status, 1);
  EXPECT_EQ(e.err, "featureexport: не відкрити вихід: " + out + "\n");
}

// Opening the output truncates it: when both names lead to one file, the data would be lost.
TEST(FeatureExport, SameFileForInputAndOutputRefused) {
  TempDir dir;
  const std::string in = dir.file("data.txt");
  const std::string data = std::string(kEndgame) + " [0.5] [0]\n";
  writeFile(in, data);
  std::error_code ec;
  std::filesystem::create_symlink(in, dir.file("sym.txt"), ec);
  ASSERT_FALSE(ec) << ec.message();
  std::filesystem::create_hard_link(in, dir.file("hard.txt"), ec);
  ASSERT_FALSE(ec) << ec.message();

  for (const std::string& out :
       {in, dir.path() + "/./data.txt", dir.file("sym.txt"), dir.file("hard.txt")}) {
    const auto e = exportFile(in, out);
    EXPECT_EQ(e.status, 1) << out;
    EXPECT_EQ(e.err, "featureexport: вхід і вихід — один файл: " + out + "\n");
    EXPECT_EQ(readFile(in), data) << out;
  }
  // Through the link as input too.
  const auto e = exportFile(dir.file("sym.txt"), in);
  EXPECT_EQ(e.status, 1);
  EXPECT_EQ(readFile(in), data);
}

TEST(FeatureExport, WriteErrorIsAFailure) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  TempDir dir;
  const std::string in = dir.file("data.txt");
  writeFile(in, std::string(kEndgame) + " [0.5]\n");
  const auto e = exportFile(in, "/dev/full");
  EXPECT_EQ(e.status, 1);
  EXPECT_EQ(e.err, "featureexport: помилка запису: /dev/full\n");
}

// Every line datagen writes goes through the export, and its features rebuild the evaluation with
// the engine's own parameter values.
TEST(FeatureExport, DataGenOutputRoundTrips) {
  TempDir dir;
  const DataGenConfig c{.games = 2,
                        .out = dir.file("data.txt"),
                        .nodes = 200,
                        .maxdepth = 3,
                        .maxplies = 80,
                        .progress = 0};
  {
    testsupport::StreamCapture quiet(std::cerr);
    ASSERT_EQ(runDataGen(c), 0);
  }
  const std::vector<std::string> data = lines(readFile(c.out));
  ASSERT_FALSE(data.empty());

  const auto e = exportFile(c.out, dir.file("features.txt"));
  ASSERT_EQ(e.status, 0);
  EXPECT_EQ(e.err, "featureexport: " + std::to_string(data.size()) +
                       " позицій, 0 невалідних, 1082 параметрів\n");
  EXPECT_EQ(lines(readFile(dir.file("features.txt"))).size(), data.size());

  std::vector<int> values(Tune::NPARAMS);
  Tune::initValues(values.data());
  auto board = std::make_unique<Board>();
  auto trace = std::make_unique<Tune::Trace>();
  for (const std::string& l : data) {
    DataLine::Sample s;
    ASSERT_TRUE(DataLine::parse(l, s)) << l;
    ASSERT_TRUE(board->setFen(s.fen)) << l;
    *trace = Tune::Trace{};
    Tune::extract(*board, *trace);
    EXPECT_EQ(Tune::reconstruct(*board, *trace, values.data()), evaluate(*board)) << s.fen;
  }
}
