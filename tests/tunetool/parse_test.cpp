// Reading feature lines and files: what is accepted, what is skipped and why, and the stored form.
#include "tools/tune/model.h"
#include "tunetool_env.h"

using namespace TuneTool;
using tunetest::TempDir;

namespace {

bool accepts(const std::string& text, std::string* reason = nullptr) {
  Features::Line line;
  const char* why = "";
  const bool ok = Features::parse(text, line, why);
  if (reason) *reason = why;
  return ok;
}

TEST(FeatureLine, ReadsEveryField) {
  const Features::Line l = tunetest::parsed("0.5 17 48 -12 340 3 0 2 -1 394 0 1 1081 -3 0");
  EXPECT_FLOAT_EQ(l.result, 0.5f);
  EXPECT_EQ(l.phase, 17);
  EXPECT_EQ(l.scale, 48);
  EXPECT_EQ(l.mgBase, -12);
  EXPECT_EQ(l.egBase, 340);
  ASSERT_EQ(l.entries.size(), 3u);
  EXPECT_EQ(l.entries[0].index, 0);
  EXPECT_EQ(l.entries[0].mg, 2);
  EXPECT_EQ(l.entries[0].eg, -1);
  EXPECT_EQ(l.entries[2].index, 1081);
  EXPECT_EQ(l.entries[2].mg, -3);
  EXPECT_EQ(l.entries[2].eg, 0);
}

TEST(FeatureLine, AcceptsTheExportsVariantsAndHarmlessWhitespace) {
  EXPECT_TRUE(accepts("1 24 64 0 0 0"));  // no coefficients at all
  EXPECT_TRUE(accepts("0 0 0 0 0 0"));
  EXPECT_TRUE(accepts("1 24 64 0 0 1 5 1 1\r"));    // written on Windows
  EXPECT_TRUE(accepts("1  24\t64 0 0 1 5 1 1  "));  // runs of blanks and tabs
  EXPECT_TRUE(accepts("0.25 12 64 0 0 0"));         // a soft label in 0..1
  EXPECT_TRUE(accepts("1 24 64 -2147483648 2147483647 0"));
  EXPECT_TRUE(accepts("1 0 0 0 0 1 7 -128 127"));  // the byte range of a coefficient
  // A triple of zeros is legal but not stored.
  EXPECT_TRUE(tunetest::parsed("1 24 64 0 0 2 3 0 0 4 1 0").entries.size() == 1);
}

// Refused lines with the reason given for them (none where the same reason is shown above).
TEST(FeatureLine, RejectsWrongCountsAndValuesOutsideTheirRangesWithAReason) {
  const struct {
    const char* text;
    const char* reason;
  } cases[] = {
      {"", nullptr},
      {"1 24 64 0 0", "too few fields"},
      {"1 24 64 0 0 2 5 1 1", "fewer triples than the count says"},
      {"1 24 64 0 0 1 5 1", "fewer triples than the count says"},
      {"1 24 64 0 0 1 5 1 1 6", "more fields than the count says"},
      {"1 24 64 0 0 0 5 1 1", nullptr},
      {"1 24 64 0 0 1083", nullptr},
      {"1 24 64 0 0 -1", nullptr},
      {"1 24 64 0 0 1 1082 1 1", "parameter index is not an integer in 0..1081"},
      {"1 24 64 0 0 1 -1 1 1", nullptr},
      {"1 24 64 0 0 2 7 1 1 7 1 1", "parameter indices are not increasing"},
      {"1 24 64 0 0 2 7 1 1 6 1 1", nullptr},
      {"1 24 64 0 0 1 7 128 0", "coefficient is not an integer in -128..127"},
      {"1 24 64 0 0 1 7 0 -129", nullptr},
      {"1 25 64 0 0 0", "phase is not an integer in 0..24"},
      {"1 -1 64 0 0 0", nullptr},
      {"1 24 65 0 0 0", "scale is not an integer in 0..64"},
      {"1.5 24 64 0 0 0", "result is not a number in 0..1"},
      {"-0.5 24 64 0 0 0", nullptr},
      {"1 24 64 2147483648 0 0", "mgBase is not a 32-bit integer"},
      {"1 24 64 0 -2147483649 0", "egBase is not a 32-bit integer"},
  };
  for (const auto& c : cases) {
    std::string why;
    EXPECT_FALSE(accepts(c.text, &why)) << c.text;
    if (c.reason) {
      EXPECT_EQ(why, c.reason) << c.text;
    }
  }
}

TEST(FeatureLine, RejectsNonNumbers) {
  for (const char* text :
       {"x 24 64 0 0 0", "nan 24 64 0 0 0", "inf 24 64 0 0 0", "1 2x 64 0 0 0", "1 24 64 0.5 0 0",
        "1 24 64 0 0 one", "1 24 64 0 0 1 5 1 +1", "1 24 64 0 0 1 5e0 1 1", "1,24,64,0,0,0",
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 [1.0]"})
    EXPECT_FALSE(accepts(text)) << text;
}

TEST(DataSet, StoresPositionsCompactlyAndInOrder) {
  DataSet d;
  d.add(tunetest::parsed("1 24 64 5 -6 2 3 1 0 900 -2 4"));
  d.add(tunetest::parsed("0 0 32 0 0 0"));
  d.add(tunetest::parsed("0.5 12 64 7 8 1 1081 0 1"));
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d.entryCount(), 3u);
  EXPECT_EQ(d.end(0) - d.begin(0), 2);
  EXPECT_EQ(d.begin(1), d.end(1));
  EXPECT_EQ(d.begin(2)->index, 1081);
  EXPECT_EQ(d.begin(0)[1].index, 900);
  EXPECT_EQ(d.begin(0)[1].mg, -2);
  EXPECT_EQ(d.begin(0)[1].eg, 4);
  EXPECT_EQ(d.scale(1), 32);
  EXPECT_EQ(d.phase(2), 12);
  EXPECT_EQ(d.mgBase(2), 7);
  EXPECT_EQ(d.egBase(0), -6);
  EXPECT_FLOAT_EQ(d.result(2), 0.5f);
  EXPECT_EQ(d.clock(1), 0);
  EXPECT_EQ(d.score(1), kNoScore);
  // 4 + 1 + 1 + 1 + 2 + 4 + 4 + 8 bytes per position, 4 per coefficient, plus the leading offset.
  EXPECT_EQ(d.bytesUsed(), 3u * 25u + 8u + 3u * 4u);
  const std::vector<bool> active = d.activeParams();
  EXPECT_TRUE(active[3] && active[900] && active[1081]);
  EXPECT_FALSE(active[0] || active[4]);
}

TEST(LoadFeatureFiles, CountsAndSkipsMalformedLinesWithTheirPlace) {
  TempDir dir;
  const std::string a = dir.write("a.txt",
                                  "1 24 64 0 0 1 3 1 0\n"
                                  "\n"                        // empty: ignored, not counted
                                  "1 24 64 0 0 1 1082 1 0\n"  // line 3: bad index
                                  "0 12 64 0 0 0\r\n"
                                  "garbage\n"               // line 5
                                  "0.5 6 64 1 1 1 5 0 1");  // no final line feed
  const std::string b = dir.write("b.txt", "1 24 64 0 0 2 3 1 0 3 1 0\n0 1 64 0 0 0\n");
  DataSet d;
  LoadReport report;
  std::string error;
  ASSERT_TRUE(loadFeatureFiles({a, b}, d, report, error)) << error;
  EXPECT_EQ(d.size(), 4u);
  EXPECT_EQ(report.lines, 7u);
  EXPECT_EQ(report.accepted, 4u);
  EXPECT_EQ(report.malformed, 3u);
  ASSERT_EQ(report.examples.size(), 3u);
  EXPECT_EQ(report.examples[0], a + ":3: parameter index is not an integer in 0..1081");
  EXPECT_EQ(report.examples[1], a + ":5: result is not a number in 0..1");
  EXPECT_EQ(report.examples[2], b + ":1: parameter indices are not increasing");
  EXPECT_EQ(malformedSummary(report), "skipped 3 malformed lines (" + report.examples[0] + "; " +
                                          report.examples[1] + "; " + report.examples[2] + ")");
  // The files' order is kept: the last position is b's second line.
  EXPECT_EQ(d.phase(3), 1);
  EXPECT_EQ(d.phase(2), 6);
}

TEST(LoadFeatureFiles, SummaryListsOnlyTheFirstFewLines) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 12; ++i) text += "bad line\n";
  const std::string p = dir.write("bad.txt", text);
  DataSet d;
  LoadReport report;
  std::string error;
  ASSERT_TRUE(loadFeatureFiles({p}, d, report, error));
  EXPECT_TRUE(d.empty());
  EXPECT_EQ(report.malformed, 12u);
  EXPECT_EQ(report.examples.size(), 5u);
  const std::string s = malformedSummary(report);
  EXPECT_EQ(s.rfind("skipped 12 malformed lines (", 0), 0u) << s;
  EXPECT_NE(s.find("; ...)"), std::string::npos) << s;
  EXPECT_EQ(malformedSummary(LoadReport{}), "");
}

TEST(LoadFeatureFiles, LongLinesSpanningReadsAndManyLinesAreRead) {
  // More than one read buffer of lines, with lines crossing buffer ends, and one line longer than
  // the first buffer.
  TempDir dir;
  std::string text, big = "1 24 64 0 0 1082";
  for (int i = 0; i < 1082; ++i) big.append(" ").append(std::to_string(i)).append(" 1 -1");
  for (int i = 0; i < 3000; ++i) text += (i % 2 ? "0.5 12 64 3 4 2 10 1 0 20 0 1\n" : big + "\n");
  std::string huge = "1 24 64 0 0 1";  // blanks pad one line past a megabyte
  huge += std::string(1 << 21, ' ') + " 5 1 1\n";
  text += huge;
  const std::string p = dir.write("many.txt", text);
  DataSet d;
  LoadReport report;
  std::string error;
  ASSERT_TRUE(loadFeatureFiles({p}, d, report, error)) << error;
  EXPECT_EQ(report.malformed, 0u) << malformedSummary(report);
  ASSERT_EQ(d.size(), 3001u);
  EXPECT_EQ(d.entryCount(), 1500u * 1082u + 1500u * 2u + 1u);
  EXPECT_EQ(d.begin(3000)->index, 5);
}

// Data lines next to feature lines: each file read by its first line's format, games found by
// result and ply, the score filter, and bad data lines with their reasons.
TEST(LoadFiles, DataFilesGamesAndTheScoreFilter) {
  TempDir dir;
  const std::string e4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1";
  const std::string e5 = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2";
  const std::string nf3 = "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2";
  const std::string data =
      dir.write("games.txt", "\n" + e4 + " [1.0] [35]\n" +                   // game 1
                                 e5 + " [1.0] [-20]\n" + "garbage]\n" +      // line 4
                                 nf3 + " [1.0] [2500]\n" +                   // filtered
                                 "8/8/8/8/8/8/8/8 w - - 0 1 [0.5]\n" +       // line 6
                                 e4 + " [1.0] [12]\n" +                      // game 2: ply
                                 e5 + " [1.0] [15]\n" + e5 + " [0.5]\r\n");  // game 3: result
  const std::string features = dir.write("f.txt", "1 24 64 0 0 1 3 1 0\n");
  DataSet d;
  LoadReport report;
  std::string error;
  LoadFilter filter;
  filter.maxScore = 2000;
  ASSERT_TRUE(loadFiles({features, data}, FileFormat::Auto, filter, d, report, error)) << error;
  EXPECT_EQ(report.dataFiles, 1u);
  EXPECT_EQ(report.malformed, 2u);
  EXPECT_EQ(report.filtered, 1u);
  EXPECT_EQ(report.games, 3u);
  ASSERT_EQ(report.examples.size(), 2u);
  EXPECT_EQ(report.examples[0], data + ":4: not a data line (FEN [result] [score])");
  EXPECT_EQ(report.examples[1], data + ":6: bad FEN");
  ASSERT_EQ(d.size(), 6u);
  EXPECT_EQ(d.score(0), kNoScore);  // the feature line
  EXPECT_EQ(d.score(2), -20);
  EXPECT_EQ(d.clock(2), 0);
  EXPECT_EQ(d.score(5), kNoScore);
  EXPECT_FLOAT_EQ(d.result(5), 0.5f);
  ASSERT_EQ(d.games().size(), 2u);  // the lone positions are not listed
  EXPECT_EQ(d.games()[0].first, 1u);
  EXPECT_EQ(d.games()[0].count, 2u);
  EXPECT_EQ(d.games()[1].first, 3u);
  EXPECT_EQ(d.games()[1].count, 2u);
  EXPECT_EQ(d.positionsWithoutScore(), 2u);

  // Forced formats: a data file read as features has no valid line, and the other way round.
  for (const auto& [path, format] :
       {std::pair{data, FileFormat::Features}, std::pair{features, FileFormat::Data}}) {
    DataSet none;
    LoadReport r;
    ASSERT_TRUE(loadFiles({path}, format, {}, none, r, error)) << error;
    EXPECT_TRUE(none.empty()) << path;
    EXPECT_EQ(r.malformed, r.lines) << path;
  }

  // The blended target: lambda * sigmoid(K * score) + (1 - lambda) * result.
  DataSet scored;
  ASSERT_TRUE(loadFiles({data}, FileFormat::Data, {}, scored, report, error)) << error;
  scored.blendTargets(0.25, 1.5);
  EXPECT_FLOAT_EQ(scored.result(1), static_cast<float>(0.25 * sigmoid(-20, 1.5) + 0.75));
}

TEST(LoadFeatureFiles, UnreadableFilesAreErrors) {
  TempDir dir;
  const std::string good = dir.write("good.txt", "1 24 64 0 0 0\n");
  DataSet d;
  LoadReport report;
  std::string error;
  EXPECT_FALSE(loadFeatureFiles({good, dir.file("missing.txt")}, d, report, error));
  EXPECT_NE(error.find("missing.txt"), std::string::npos) << error;
  error.clear();
  EXPECT_FALSE(loadFeatureFiles({dir.path()}, d, report, error));  // a directory
  EXPECT_NE(error.find(dir.path()), std::string::npos) << error;
}

}  // namespace
