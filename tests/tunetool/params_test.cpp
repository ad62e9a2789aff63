// Freeze patterns, the parameter listing and the C++ tables the tuner writes.
#include "eval/params.h"

#include <algorithm>
#include <map>

#include "eval/psqt.h"
#include "tools/tune/params_io.h"
#include "tunetool_env.h"

using namespace TuneTool;

namespace {

std::vector<int> defaults() {
  std::vector<int> v(Tune::NPARAMS);
  Tune::initValues(v.data());
  return v;
}

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
  writeParamListing(out, v.data());
  const std::string text = out.str();
  EXPECT_EQ(
      text.rfind("# Quorvane tune params: index name value  (NPARAMS=1082)\n0 matMg_P 93\n", 0),
      0u);
  EXPECT_NE(text.find("\n1081 ksOpenFile 31\n"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1083);

  v[17] = -5;
  v[1081] = 40;
  std::ostringstream changed;
  writeParamListing(changed, v.data());
  std::vector<int> back(Tune::NPARAMS, 0);
  std::istringstream in(changed.str());
  std::string error;
  ASSERT_TRUE(readParamListing(in, back.data(), error)) << error;
  EXPECT_EQ(back, v);
}

TEST(ParamListing, ReadingRejectsWrongNamesGapsAndDuplicates) {
  const std::vector<int> v = defaults();
  std::ostringstream out;
  writeParamListing(out, v.data());
  const std::string good = out.str();
  std::vector<int> back(Tune::NPARAMS, 0);
  std::string error;
  auto read = [&](const std::string& text) {
    std::istringstream in(text);
    return readParamListing(in, back.data(), error);
  };
  std::string renamed = good;
  renamed.replace(renamed.find("0 matMg_P 93"), 12, "0 matMg_X 93");
  EXPECT_FALSE(read(renamed));
  EXPECT_EQ(error, "line 2: parameter 0 is matMg_P, not matMg_X");
  std::string missing = good;
  missing.erase(missing.find("1081 ksOpenFile 31\n"));
  EXPECT_FALSE(read(missing));
  EXPECT_EQ(error, "parameter 1081 ksOpenFile is missing");
  EXPECT_FALSE(read(good + "0 matMg_P 93\n"));
  EXPECT_EQ(error, "line 1084: parameter matMg_P listed twice");
  EXPECT_FALSE(read(good + "5 matEg_P x\n"));
  EXPECT_FALSE(read(good + "5 matEg_P 1 2\n"));
  EXPECT_FALSE(read("1082 ? 0\n"));
}

// The numbers between the braces of the definition named `name` in the C++ text.
std::vector<int> numbersOf(const std::string& text, const std::string& name) {
  const std::size_t at = text.find(" " + name + "[");
  const std::size_t atScalar = text.find(" " + name + " = ");
  std::vector<int> out;
  if (at == std::string::npos && atScalar == std::string::npos) return out;
  std::size_t from = at != std::string::npos ? text.find('{', at) : text.find('=', atScalar) + 1;
  const std::size_t to = text.find(';', from);
  std::string body;
  bool comment = false;  // comments hold no numbers that belong to the table
  for (std::size_t i = from; i < to; ++i) {
    if (text[i] == '/' && text[i + 1] == '/') comment = true;
    if (text[i] == '\n') comment = false;
    body += comment || text[i] == '{' || text[i] == '}' || text[i] == ',' ? ' ' : text[i];
  }
  std::istringstream in(body);
  int x = 0;
  while (in >> x) out.push_back(x);
  return out;
}

TEST(CppTables, DefaultsReproduceTheEnginesTablesInTheirLayout) {
  using namespace EvalParams;
  const std::vector<int> v = defaults();
  std::ostringstream out;
  writeCppTables(out, v.data());
  const std::string text = out.str();

  EXPECT_EQ(numbersOf(text, "kMgValue"), std::vector<int>(kMgValue, kMgValue + 6));
  EXPECT_EQ(numbersOf(text, "kEgValue"), std::vector<int>(kEgValue, kEgValue + 6));
  EXPECT_EQ(numbersOf(text, "kPSTMG"), std::vector<int>(&kPSTMG[0][0], &kPSTMG[0][0] + 384));
  EXPECT_EQ(numbersOf(text, "kPSTEGPawn"), std::vector<int>(kPSTEGPawn, kPSTEGPawn + 64));
  EXPECT_EQ(numbersOf(text, "kKingEG"), std::vector<int>(kKingEG, kKingEG + 64));
  EXPECT_EQ(numbersOf(text, "kPSTEGDelta"), std::vector<int>(384, 0));
  EXPECT_EQ(numbersOf(text, "kMobilityMg"),
            std::vector<int>(&kMobilityMg[0][0], &kMobilityMg[0][0] + 168));
  EXPECT_EQ(numbersOf(text, "kMobilityEg"),
            std::vector<int>(&kMobilityEg[0][0], &kMobilityEg[0][0] + 168));
  EXPECT_EQ(numbersOf(text, "kKsSafetyTable"),
            std::vector<int>(kKsSafetyTable, kKsSafetyTable + 16));
  EXPECT_EQ(numbersOf(text, "kPassedMg"), std::vector<int>(kPassedMg, kPassedMg + 8));
  EXPECT_EQ(numbersOf(text, "kPassedEg"), std::vector<int>(kPassedEg, kPassedEg + 8));
  const std::map<std::string, int> scalars = {
      {"kBishopPair", kBishopPair},   {"kRookOpenMg", kRookOpenMg},   {"kRookOpenEg", kRookOpenEg},
      {"kRookSemiMg", kRookSemiMg},   {"kRookSemiEg", kRookSemiEg},   {"kIsolatedMg", kIsolatedMg},
      {"kIsolatedEg", kIsolatedEg},   {"kDoubledMg", kDoubledMg},     {"kDoubledEg", kDoubledEg},
      {"kConnectedMg", kConnectedMg}, {"kConnectedEg", kConnectedEg}, {"kKsOpenFile", kKsOpenFile}};
  for (const auto& [name, value] : scalars)
    EXPECT_EQ(numbersOf(text, name), std::vector<int>{value}) << name;
  // Piece-square rows are printed like the engine's source: eight numbers per row, a8 first.
  EXPECT_NE(
      text.find("    {  // knight\n        -137,  -32,  -57,  -47,   -3,  -20,  -30,  -71,\n"),
      std::string::npos);
}

TEST(CppTables, TunedValuesLandInTheirSlots) {
  std::vector<int> v = defaults();
  v[Tune::kPstMg + 64 * Knight + 9] = 777;        // knight, b7
  v[Tune::kMobEgStart[Rook] + 14] = 555;          // rook with 14 squares, endgame
  v[Tune::kPstEgDelta + 64 * Queen + 63] = -444;  // queen on h1, endgame delta
  std::ostringstream out;
  writeCppTables(out, v.data());
  const std::string text = out.str();
  EXPECT_EQ(numbersOf(text, "kPSTMG")[64 * Knight + 9], 777);
  EXPECT_EQ(numbersOf(text, "kMobilityEg")[28 * Rook + 14], 555);
  EXPECT_EQ(numbersOf(text, "kPSTEGDelta")[64 * Queen + 63], -444);
}

}  // namespace
