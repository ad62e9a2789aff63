// Command-line settings of "datagen": keys, positional arguments, lenient number reading.
#include "datagen_env.h"
#include "support/capture.h"

using dgtest::Args;

namespace {

bool parse(Args args, DataGenConfig& c) { return parseDataGenArgs(args.count(), args.argv(), c); }

// Every numeric key: its default, a value that differs from it, and the field it sets.
// clang-format off
#define FIELD(name, byDefault, set) \
  {#name, byDefault, set, [](const DataGenConfig& c) { return static_cast<long long>(c.name); }}
// clang-format on
const struct {
  const char* key;
  long long byDefault, set;
  long long (*get)(const DataGenConfig&);
} kFields[] = {
    FIELD(games, 1000, 3),      FIELD(seed, 1, 7),          FIELD(nodes, 5000, 11),
    FIELD(maxdepth, 12, 5),     FIELD(randomplies, 8, 2),   FIELD(openingcap, 200, 90),
    FIELD(openingtries, 12, 4), FIELD(resign, 1000, 700),   FIELD(resignplies, 6, 3),
    FIELD(draw, 8, 5),          FIELD(drawplies, 12, 9),    FIELD(drawmin, 40, 20),
    FIELD(maxplies, 400, 80),   FIELD(evalcap, 2000, 1500), FIELD(skipcheck, 1, 0),
    FIELD(skipquiet, 1, 0),     FIELD(score, 1, 0),         FIELD(progress, 100, 10),
    FIELD(threads, 1, 3),       FIELD(sample, 0, 4),        FIELD(minply, 0, 16),
};
#undef FIELD

}  // namespace

TEST(DataGenArgs, NoArgumentsKeepDefaults) {
  DataGenConfig c;
  EXPECT_TRUE(parseDataGenArgs(0, nullptr, c));
  EXPECT_EQ(c.out, "data.txt");
  for (const auto& f : kFields) EXPECT_EQ(f.get(c), f.byDefault) << f.key;
}

TEST(DataGenArgs, EveryKeySetsItsField) {
  DataGenConfig c;
  for (const auto& f : kFields) {
    ASSERT_TRUE(parse({std::string(f.key) + "=" + std::to_string(f.set)}, c)) << f.key;
    EXPECT_EQ(f.get(c), f.set) << f.key;
  }
  ASSERT_TRUE(parse({"out=o.txt"}, c));
  EXPECT_EQ(c.out, "o.txt");
  // Every field kept its own value: no key wrote another's field.
  for (const auto& f : kFields) EXPECT_EQ(f.get(c), f.set) << f.key;
}

// Each worker takes a table as large as the search table, so the count is checked.
TEST(DataGenArgs, ThreadCountOutsideItsRangeRejected) {
  for (const char* value : {"0", "-1", "257", "", "x"}) {
    DataGenConfig c;
    testsupport::StreamCapture errors(std::cerr);
    EXPECT_FALSE(parse({std::string("threads=") + value}, c)) << value;
    const std::string err = errors.text();
    EXPECT_TRUE(err.starts_with("datagen: threads має бути від 1 до 256: ")) << err;
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
  ASSERT_TRUE(parse({"nodes= 12abc", "resign=-3", "progress=+4x"}, c));
  EXPECT_EQ(c.nodes, 12);
  EXPECT_EQ(c.resign, -3);
  EXPECT_EQ(c.progress, 4);
  ASSERT_TRUE(parse({"nodes="}, c));
  EXPECT_EQ(c.nodes, 0);
}

// A mistyped command line must not reach the output file: "--help" once read as 0 games, and so
// was a negative count.
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
      {{"games=-3"}, "datagen: кількість партій не може бути від'ємною: -3\n"},
      {{"5", "out.txt", "games=-1"}, "datagen: кількість партій не може бути від'ємною: -1\n"},
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
