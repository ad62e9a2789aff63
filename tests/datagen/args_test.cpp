// Command-line settings of "datagen": keys, positional arguments, lenient number reading.
#include "datagen_env.h"
#include "support/capture.h"

using dgtest::Args;

namespace {

bool parse(Args args, DataGenConfig& c) { return parseDataGenArgs(args.count(), args.argv(), c); }

void expectDefaults(const DataGenConfig& c) {
  EXPECT_EQ(c.games, 1000);
  EXPECT_EQ(c.out, "data.txt");
  EXPECT_EQ(c.seed, 1u);
  EXPECT_EQ(c.nodes, 5000);
  EXPECT_EQ(c.maxdepth, 12);
  EXPECT_EQ(c.randomplies, 8);
  EXPECT_EQ(c.openingcap, 200);
  EXPECT_EQ(c.openingtries, 12);
  EXPECT_EQ(c.resign, 1000);
  EXPECT_EQ(c.resignplies, 6);
  EXPECT_EQ(c.draw, 8);
  EXPECT_EQ(c.drawplies, 12);
  EXPECT_EQ(c.drawmin, 40);
  EXPECT_EQ(c.maxplies, 400);
  EXPECT_EQ(c.evalcap, 2000);
  EXPECT_TRUE(c.skipcheck);
  EXPECT_TRUE(c.skipquiet);
  EXPECT_TRUE(c.score);
  EXPECT_EQ(c.progress, 100);
  EXPECT_EQ(c.threads, 1);
}

}  // namespace

TEST(DataGenArgs, NoArgumentsKeepDefaults) {
  DataGenConfig c;
  EXPECT_TRUE(parseDataGenArgs(0, nullptr, c));
  expectDefaults(c);
}

TEST(DataGenArgs, EveryKeySetsItsField) {
  DataGenConfig c;
  ASSERT_TRUE(parse(
      {"games=3", "out=o.txt", "seed=7", "nodes=11", "maxdepth=5", "randomplies=2", "openingcap=90",
       "openingtries=4", "resign=700", "resignplies=3", "draw=5", "drawplies=9", "drawmin=20",
       "maxplies=80", "evalcap=1500", "skipcheck=0", "skipquiet=0", "score=0", "progress=10",
       "threads=3"},
      c));
  EXPECT_EQ(c.games, 3);
  EXPECT_EQ(c.out, "o.txt");
  EXPECT_EQ(c.seed, 7u);
  EXPECT_EQ(c.nodes, 11);
  EXPECT_EQ(c.maxdepth, 5);
  EXPECT_EQ(c.randomplies, 2);
  EXPECT_EQ(c.openingcap, 90);
  EXPECT_EQ(c.openingtries, 4);
  EXPECT_EQ(c.resign, 700);
  EXPECT_EQ(c.resignplies, 3);
  EXPECT_EQ(c.draw, 5);
  EXPECT_EQ(c.drawplies, 9);
  EXPECT_EQ(c.drawmin, 20);
  EXPECT_EQ(c.maxplies, 80);
  EXPECT_EQ(c.evalcap, 1500);
  EXPECT_FALSE(c.skipcheck);
  EXPECT_FALSE(c.skipquiet);
  EXPECT_FALSE(c.score);
  EXPECT_EQ(c.progress, 10);
  EXPECT_EQ(c.threads, 3);
}

// Each worker takes a table as large as the search table, so the count is checked.
TEST(DataGenArgs, ThreadCountOutsideItsRangeRejected) {
  for (const char* value : {"0", "-1", "257", "", "x"}) {
    DataGenConfig c;
    testsupport::StreamCapture errors(std::cerr);
    EXPECT_FALSE(parse({std::string("threads=") + value}, c)) << value;
    const std::string err = errors.text();
    EXPECT_TRUE(dgtest::startsWith(err, "datagen: threads має бути від 1 до 256: ")) << err;
  }
  DataGenConfig c;
  ASSERT_TRUE(parse({"threads=256"}, c));
  EXPECT_EQ(c.threads, 256);
}

TEST(DataGenArgs, PositionalGamesThenOut) {
  DataGenConfig c;
  ASSERT_TRUE(parse({"10", "x.txt"}, c));
  EXPECT_EQ(c.games, 10);
  EXPECT_EQ(c.out, "x.txt");

  // Settings between the positional arguments do not shift them.
  DataGenConfig d;
  ASSERT_TRUE(parse({"7", "nodes=3", "y.txt"}, d));
  EXPECT_EQ(d.games, 7);
  EXPECT_EQ(d.nodes, 3);
  EXPECT_EQ(d.out, "y.txt");
}

TEST(DataGenArgs, ThirdPositionalRejected) {
  DataGenConfig c;
  testsupport::StreamCapture errors(std::cerr);
  EXPECT_FALSE(parse({"10", "x.txt", "extra"}, c));
  EXPECT_EQ(errors.text(), "datagen: зайвий аргумент: extra\n");
}

TEST(DataGenArgs, UnknownKeyRejectedAtOnce) {
  DataGenConfig c;
  testsupport::StreamCapture firstErrors(std::cerr);
  EXPECT_FALSE(parse({"Games=5", "nodes=3"}, c));
  EXPECT_EQ(firstErrors.text(), "datagen: невідомий параметр: Games\n");
  EXPECT_EQ(c.nodes, 5000);  // nothing after the bad key is read

  testsupport::StreamCapture secondErrors(std::cerr);
  EXPECT_FALSE(parse({"=5"}, c));
  EXPECT_EQ(secondErrors.text(), "datagen: невідомий параметр: \n");
}

TEST(DataGenArgs, BoolsAreNumbers) {
  DataGenConfig c;
  ASSERT_TRUE(parse({"skipcheck=2", "skipquiet=-1", "score=0"}, c));
  EXPECT_TRUE(c.skipcheck);
  EXPECT_TRUE(c.skipquiet);
  EXPECT_FALSE(c.score);
  ASSERT_TRUE(parse({"skipcheck=abc", "skipquiet=", "score=true"}, c));
  EXPECT_FALSE(c.skipcheck);
  EXPECT_FALSE(c.skipquiet);
  EXPECT_FALSE(c.score);  // "true" holds no digits
}

TEST(DataGenArgs, OutValueTakenVerbatim) {
  DataGenConfig c;
  ASSERT_TRUE(parse({"out=a=b.txt"}, c));
  EXPECT_EQ(c.out, "a=b.txt");
  ASSERT_TRUE(parse({"out= spaced name"}, c));
  EXPECT_EQ(c.out, " spaced name");
}

TEST(DataGenArgs, NumbersReadAsFarAsTheyGo) {
  DataGenConfig c;
  ASSERT_TRUE(parse({"nodes= 12abc", "games=-3", "progress=+4x"}, c));
  EXPECT_EQ(c.nodes, 12);
  EXPECT_EQ(c.games, -3);
  EXPECT_EQ(c.progress, 4);
  ASSERT_TRUE(parse({"nodes="}, c));
  EXPECT_EQ(c.nodes, 0);
}

// A mistyped command line must not reach the output file: "--help" once read as 0 games.
TEST(DataGenArgs, OptionWordsAndGamesThatAreNoNumberAreErrors) {
  const struct {
    Args args;
    const char* err;
  } cases[] = {
      {{"--help"}, "datagen: невідомий параметр: --help\n"},
      {{"10", "out.txt", "-v"}, "datagen: невідомий параметр: -v\n"},
      {{"-5"}, "datagen: невідомий параметр: -5\n"},
      {{"--games=5"}, "datagen: невідомий параметр: --games=5\n"},
      {{"abc"}, "datagen: кількість партій має бути числом: abc\n"},
      {{"10x"}, "datagen: кількість партій має бути числом: 10x\n"},
      {{"games=x1"}, "datagen: кількість партій має бути числом: x1\n"},
      {{"games="}, "datagen: кількість партій має бути числом: \n"},
      {{"games=99999999999999999999"},
       "datagen: кількість партій має бути числом: 99999999999999999999\n"},
  };
  for (const auto& c : cases) {
    DataGenConfig config;
    testsupport::StreamCapture errors(std::cerr);
    EXPECT_FALSE(parse(c.args, config)) << c.err;
    EXPECT_EQ(errors.text(), c.err);
  }
  DataGenConfig config;
  ASSERT_TRUE(parse({" 7", "games=+3"}, config));  // still numbers
  EXPECT_EQ(config.games, 3);
}

TEST(DataGenArgs, SeedIsUnsignedAndNarrowFieldsKeepLowBits) {
  DataGenConfig c;
  ASSERT_TRUE(parse(
      {"seed=18446744073709551615", "maxdepth=4294967297", "drawmin=4294967295", "maxplies=-2"},
      c));
  EXPECT_EQ(c.seed, 18446744073709551615ULL);
  EXPECT_EQ(c.maxdepth, 1);
  EXPECT_EQ(c.drawmin, -1);
  EXPECT_EQ(c.maxplies, -2);
  // Out of the 64-bit range the reading saturates, as strtoll does.
  ASSERT_TRUE(parse({"nodes=99999999999999999999"}, c));
  EXPECT_EQ(c.nodes, 9223372036854775807LL);
}
