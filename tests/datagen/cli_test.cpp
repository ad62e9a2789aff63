// The data tools through the real program: exit statuses and files of a short run.
#include "datagen_env.h"
#include "support/uci_process.h"

using dgtest::lines;
using dgtest::readFile;
using dgtest::TempDir;
using testsupport::UciProcess;

namespace {

// Generous: sanitizer builds are several times slower.
constexpr int kTimeoutMs = 120000;

}  // namespace

TEST(DataToolsCli, DataGenThenFeatureExport) {
  TempDir dir;
  const std::string data = dir.file("data.txt");
  const std::string features = dir.file("features.txt");
  {
    UciProcess p({"datagen", "games=2", "nodes=200", "maxdepth=3", "out=" + data});
    ASSERT_TRUE(p.started());
    ASSERT_EQ(p.waitExit(kTimeoutMs), 0) << p.errText();
    EXPECT_TRUE(p.pendingOut().empty());  // everything goes to standard error
    EXPECT_NE(p.errText().find("datagen: готово — 2 партій, "), std::string::npos) << p.errText();
  }
  const std::vector<std::string> written = lines(readFile(data));
  ASSERT_FALSE(written.empty());
  for (const std::string& l : written) {
    DataLine::Sample s;
    EXPECT_TRUE(DataLine::parse(l, s)) << l;
  }
  {
    UciProcess p({"featureexport", data, features});
    ASSERT_TRUE(p.started());
    ASSERT_EQ(p.waitExit(kTimeoutMs), 0) << p.errText();
    EXPECT_EQ(p.errText(), "featureexport: " + std::to_string(written.size()) +
                               " позицій, 0 невалідних, 1082 параметрів\n");
  }
  EXPECT_EQ(lines(readFile(features)).size(), written.size());
}

TEST(DataToolsCli, BadArgumentsFail) {
  TempDir dir;
  const std::string data = dir.file("data.txt");
  UciProcess unknown({"datagen", "Games=2", "out=" + data});
  EXPECT_EQ(unknown.waitExit(kTimeoutMs), 1);
  EXPECT_EQ(unknown.errText(), "datagen: невідомий параметр: Games\n");
  EXPECT_FALSE(std::filesystem::exists(data));  // nothing generated, no file touched

  UciProcess extra({"datagen", "1", data, "more"});
  EXPECT_EQ(extra.waitExit(kTimeoutMs), 1);
  EXPECT_EQ(extra.errText(), "datagen: зайвий аргумент: more\n");
  EXPECT_FALSE(std::filesystem::exists(data));

  // An option word or a negative count fails before anything is opened: the file keeps its data.
  dgtest::writeFile(data, "precious\n");
  for (const auto& [arg, err] : {std::pair{"--help", "datagen: невідомий параметр: --help\n"},
                                 std::pair{"games=-3", "datagen: кількість партій не може бути "
                                                       "від'ємною: -3\n"}}) {
    UciProcess bad({"datagen", "out=" + data, arg});
    EXPECT_EQ(bad.waitExit(kTimeoutMs), 1) << arg;
    EXPECT_EQ(bad.errText(), err);
    EXPECT_EQ(readFile(data), "precious\n") << arg;
  }

  UciProcess missing({"featureexport", dir.file("none.txt"), dir.file("out.txt")});
  EXPECT_EQ(missing.waitExit(kTimeoutMs), 1);
  EXPECT_EQ(missing.errText(), "featureexport: не відкрити вхід: " + dir.file("none.txt") + "\n");
}
