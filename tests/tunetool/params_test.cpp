// Freeze patterns, the parameter listing and its reader, and the generator the build runs on it.
#include <algorithm>

#include "formats/param_listing.h"
#include "tools/tune/freeze.h"
#include "tunetool_env.h"

using namespace TuneTool;

namespace {

using tunetest::defaults;

TEST(GlobMatch, WildcardsMatchTheWholeName) {
  EXPECT_TRUE(globMatch("matMg_*", "matMg_P"));
  EXPECT_TRUE(globMatch("*", "anything"));
  EXPECT_TRUE(globMatch("*", ""));
  EXPECT_TRUE(globMatch("pstMg_?_1", "pstMg_N_1"));
  EXPECT_FALSE(globMatch("pstMg_?_1", "pstMg_N_12"));
  EXPECT_TRUE(globMatch("*Eg*", "rookOpenEg"));
  EXPECT_TRUE(globMatch("mob*_Q_*", "mobEg_Q_27"));
  EXPECT_FALSE(globMatch("matMg", "matMg_P"));   // no implicit prefix match
  EXPECT_FALSE(globMatch("atMg_P", "matMg_P"));  // nor suffix match
  EXPECT_TRUE(globMatch("a*b*c", "aXXbYYbZZc"));
  EXPECT_FALSE(globMatch("a*b*c", "aXXbYYbZZ"));
}

TEST(FreezePatterns, MarkExactlyTheMatchingParameters) {
  std::vector<bool> frozen;
  std::string error;
  ASSERT_TRUE(freezeByPatterns("matMg_*,matEg_*", frozen, error)) << error;
  ASSERT_EQ(frozen.size(), static_cast<std::size_t>(Tune::NPARAMS));
  for (int i = 0; i < Tune::NPARAMS; ++i)
    EXPECT_EQ(frozen[static_cast<std::size_t>(i)], i < 10) << i;
  // A second list adds to the first.
  ASSERT_TRUE(freezeByPatterns("ksSafety_1?", frozen, error)) << error;
  int count = 0;
  for (bool f : frozen) count += f;
  EXPECT_EQ(count, 16);  // 10 material values and ksSafety_10..15
  EXPECT_TRUE(frozen[Tune::kKsSafetyIdx + 15]);
  EXPECT_FALSE(frozen[Tune::kKsSafetyIdx + 1]);
}

TEST(FreezePatterns, TyposAndEmptyPatternsAreErrors) {
  std::vector<bool> frozen;
  std::string error;
  EXPECT_FALSE(freezeByPatterns("matMg_*,matgE_*", frozen, error));
  EXPECT_EQ(error, "freeze pattern 'matgE_*' matches no parameter");
  EXPECT_FALSE(freezeByPatterns("matMg_*,", frozen, error));
  EXPECT_EQ(error, "empty freeze pattern");
  EXPECT_FALSE(freezeByPatterns("", frozen, error));
}

TEST(ParamListing, WritesTheTuneparamsFormatAndReadsItBack) {
  std::vector<int> v = defaults();
  std::ostringstream out;
  ParamListing::write(out, v.data());
  const std::string text = out.str();
  EXPECT_EQ(
      text.rfind("# Quorvane tune params: index name value  (NPARAMS=1082)\n0 matMg_P 93\n", 0),
      0u);
  EXPECT_NE(text.find("\n1081 ksOpenFile 31\n"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1083);

  v[17] = -5;
  v[1081] = 40;
  std::ostringstream changed;
  ParamListing::write(changed, v.data());
  // Also as editors leave it: a byte-order mark, indented comments, carriage returns throughout
  // (a blank line included).
  std::string crlf;
  for (const std::string& line : testsupport::lines(changed.str())) crlf += line + "\r\n";
  const std::string variants[] = {
      "\n# a comment\r\n" + changed.str(),
      "\xEF\xBB\xBF" + changed.str(),
      "\xEF\xBB\xBF  # indented\n\t# and tabbed\n" + changed.str(),
      "\r\n" + crlf + "\r\n",
  };
  for (const std::string& text : variants) {
    std::vector<int> back(Tune::NPARAMS, 0);
    std::istringstream in(text);
    ParamListing::Error error;
    ASSERT_TRUE(ParamListing::read(in, back.data(), error))
        << error.line << ": " << error.message << "\n" << text.substr(0, 80);
    EXPECT_EQ(back, v);
  }
  // A byte-order mark belongs at the start of the file only.
  std::vector<int> back(Tune::NPARAMS, 0);
  std::istringstream late("\n\xEF\xBB\xBF" + changed.str());
  ParamListing::Error error;
  EXPECT_FALSE(ParamListing::read(late, back.data(), error));
  EXPECT_EQ(error.line, 2);
}

// Each fault is reported with the line it is on (the defaults' listing: line n + 2 holds index n).
TEST(ParamListing, RefusesFaultsWithTheirLineNumbers) {
  const std::string good = tunetest::defaultListing();
  auto edited = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  const struct {
    std::string text;
    int line;
    std::string message;
  } cases[] = {
      {edited("0 matMg_P 93", "0 matMg_X 93"), 2, "unknown parameter 'matMg_X'"},
      {edited("0 matMg_P 93", "0 matEg_P 93"), 2, "matEg_P is parameter 5, not 0"},
      {edited("1081 ksOpenFile 31\n", ""), 1082, "parameter 1081 ksOpenFile is missing after this line"},
      {edited("0 matMg_P 93\n", ""), 1, "parameter 0 matMg_P is missing"},
      {good + "3 matMg_R 493\n", 1084, "matMg_R repeated (first given on line 5)"},
      {edited("1 matMg_N 380", "1 matMg_N 0"), 3, "matMg_N = 0 is outside 1..5000"},
      {edited("\n654 pstEgDelta_P_0 0", "\n654 pstEgDelta_P_0 3"), 656, "pstEgDelta_P_0 = 3 is outside 0..0"},
      {edited("1081 ksOpenFile 31", "1081 ksOpenFile 99999999999"), 1083,
       "ksOpenFile = 99999999999 is outside -2000..2000"},
      {edited("1081 ksOpenFile 31", "1081 ksOpenFile 3x"), 1083, "value of ksOpenFile is not an integer"},
      {edited("1081 ksOpenFile 31", "1081 ksOpenFile 31 7"), 1083, "expected \"index name value\""},
      {edited("1081 ksOpenFile 31", "1081 ksOpenFile"), 1083, "expected \"index name value\""},
  };
  for (const auto& c : cases) {
    std::vector<int> back(Tune::NPARAMS, 0);
    std::istringstream in(c.text);
    ParamListing::Error error;
    EXPECT_FALSE(ParamListing::read(in, back.data(), error)) << c.message;
    EXPECT_EQ(error.line, c.line) << c.message;
    EXPECT_EQ(error.message, c.message);
  }
}

// The build runs the generator on the listing; a faulty one must fail it with the line number.
TEST(ParamGen, WritesTheHeaderOrStopsTheBuild) {
  tunetest::TempDir dir;
  const std::string listing = tunetest::defaultListing();
  const std::string header = dir.file("param_values.h");
  const std::string gen = std::string(QUORVANE_PARAMGEN_BIN) + " ";
  ASSERT_EQ(tunetest::runCommand(gen + dir.write("good.txt", listing) + " " + header), 0);
  const std::string text = tunetest::readFile(header);
  EXPECT_NE(text.find("inline constexpr int kParamValues[kParamCount] = {\n    93, 380, 374, 493, 1283,"),
            std::string::npos);
  EXPECT_NE(text.find(" 690,\n    800, 31,\n};\n"), std::string::npos);

  const std::string bad = dir.write("bad.txt", listing + "0 matMg_P 93\n");
  const std::string err = dir.file("err.txt");
  EXPECT_EQ(tunetest::runCommand(gen + bad + " " + header + " 2>" + err), 1);
  EXPECT_EQ(tunetest::readFile(err), bad + ":1084: error: matMg_P repeated (first given on line 2)\n");
  EXPECT_EQ(tunetest::readFile(header), text);

  // Refusals that must leave both files as they were, and no temporary file.
  const std::string good = dir.file("good.txt");
  const struct {
    std::string args;
    int status;
    std::string err;
  } refused[] = {
      {good + " " + good, 2, good + ": error: the listing and the header are the same file\n"},
      {good + " " + dir.path() + "/./good.txt", 2,
       good + ": error: the listing and the header are the same file\n"},
      {good + " /dev/full", 1, "quorvane-paramgen: error: cannot write /dev/full: No space left on device\n"},
      {good + " " + dir.file("none/h.h"), 1,
       "quorvane-paramgen: error: cannot write " + dir.file("none/h.h") + ": No such file or directory\n"},
  };
  for (const auto& r : refused) {
    EXPECT_EQ(tunetest::runCommand(gen + r.args + " 2>" + err), r.status) << r.args;
    EXPECT_EQ(tunetest::readFile(err), r.err);
    EXPECT_EQ(tunetest::readFile(good), listing);
    EXPECT_EQ(tunetest::readFile(header), text);
  }
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 4u);  // good.txt, bad.txt, err.txt and the header

  // The listing's path goes into a comment of the header: a line feed in it must not start a line
  // of code, nor a final backslash join the next line to the comment.
  const std::string odd = dir.path() + "/odd\n#error injected\\";
  std::filesystem::create_directory(odd);
  const std::string oddListing = odd + "/l.txt";
  testsupport::writeFile(oddListing, listing);
  ASSERT_EQ(tunetest::runCommand(gen + "'" + oddListing + "' " + header), 0);
  const std::vector<std::string> lines = testsupport::lines(tunetest::readFile(header));
  EXPECT_EQ(lines[0], "// Written by quorvane-paramgen from " + dir.path() +
                          "/odd\\x0A#error injected\\x5C/l.txt.");
  EXPECT_EQ(lines[1].rfind("// Edit that listing", 0), 0u);
}

}  // namespace
