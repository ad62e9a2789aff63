// The command line and the opening files: what is accepted, and the one message for bad input.
#include <gtest/gtest.h>

#include <sstream>

#include "support/temp_dir.h"
#include "tools/match/openings.h"
#include "tools/match/options.h"

using namespace Match;

namespace {

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

TEST(MatchOptions, Accepted) {
  Settings s;
  bool help = false;
  std::string error;
  ASSERT_TRUE(parseOptions(words("-engine cmd=a tc=40/1:30+0.5 timemargin=50 option.Hash=16 -engine cmd=/x/b "
                                 "name=B st=0.25 -games 10 -sprt elo0=0 elo1=5 model=normalized -repeat -shard 1/3 "
                                 "-draw movenumber=40 movecount=8 score=10 -resign movecount=3 score=600 twosided=true"),
                           s, help, error))
      << error;
  EXPECT_EQ(s.engines[0].limits.tcMoves, 40);
  EXPECT_EQ(s.engines[0].limits.baseMs, 90000);
  EXPECT_EQ(s.engines[0].limits.incMs, 500);
  EXPECT_EQ(s.engines[0].limits.marginMs, 50);
  EXPECT_EQ(s.engines[0].limits.pgnText(), "40/90+0.5");
  EXPECT_EQ(s.engines[0].name, "a");
  EXPECT_EQ(s.engines[1].limits.moveTimeMs, 250);
  EXPECT_EQ(s.games, 10);
  EXPECT_TRUE(s.sprt.enabled && s.sprt.normalized);
  EXPECT_EQ(s.shardIndex, 1);
  EXPECT_EQ(s.shardCount, 3);
  EXPECT_TRUE(s.adjudication.twoSided);

  // -each gives both engines its keys; an engine's own keys win whatever the order.
  ASSERT_TRUE(parseOptions(words("-engine cmd=a nodes=7 -each nodes=100 option.Hash=8 -engine cmd=b -rounds 3"), s,
                           help, error))
      << error;
  EXPECT_EQ(s.engines[0].limits.nodes, 7);
  EXPECT_EQ(s.engines[1].limits.nodes, 100);
  EXPECT_EQ(s.engines[1].options.size(), 1u);
  EXPECT_EQ(s.games, 6);
  EXPECT_EQ(s.engines[0].name, "a");

  ASSERT_TRUE(parseOptions(words("-engine cmd=a -help"), s, help, error));
  EXPECT_TRUE(help);
}

TEST(MatchOptions, Refused) {
  const struct {
    const char *args, *message;
  } cases[] = {
      {"-engine cmd=a nodes=1", "exactly two -engine"},
      {"-engine cmd=a -engine cmd=b", "has no limit"},
      {"-engine cmd=a tc=inf -engine cmd=b tc=inf", "tc=inf needs nodes= or depth="},
      {"-engine name=x nodes=1 -engine cmd=b nodes=1", "engine 1 has no cmd="},
      {"-engine cmd=a nodes=1 -engine cmd=b nodes=1 -concurrency 0", "-concurrency: '0' is not a whole number"},
      {"-engine cmd=a nodes=1 -engine cmd=b nodes=1 -games 3", "even number"},
      {"-engine cmd=a nodes=x -engine cmd=b nodes=1", "bad value of nodes"},
      {"-engine cmd=a tc=5+ -engine cmd=b nodes=1", "bad value of tc"},
      {"-engine cmd=a hash=1 -engine cmd=b nodes=1", "unknown key 'hash'"},
      {"-engine cmd=a nodes=1 -engine cmd=b nodes=1 -sprt elo0=5 elo1=0", "elo1 greater than elo0"},
      {"-engine cmd=a nodes=1 -engine cmd=b nodes=1 -sprt elo0=0 elo1=5 alpha=2", "-sprt: bad setting alpha=2"},
      {"-engine cmd=a nodes=1 -engine cmd=b nodes=1 -shard 2/2", "-shard needs I/N"},
      {"-engine cmd=a nodes=1 -engine cmd=b nodes=1 -openings format=epd", "needs file="},
      {"-engine cmd=a nodes=1 -engine cmd=b nodes=1 -draw movecount=3", "-draw needs"},
      {"-engine cmd=a nodes=1 -engine cmd=b nodes=1 -pgnout", "-pgnout needs a value"},
      {"-engine cmd=a nodes=1 -engine cmd=b nodes=1 -bogus", "unknown option '-bogus'"},
      {"-engine cmd=a tc=10 st=1 -engine cmd=b nodes=1", "tc= and st= do not go together"},
  };
  for (const auto& c : cases) {
    Settings s;
    bool help = false;
    std::string error;
    EXPECT_FALSE(parseOptions(words(c.args), s, help, error)) << c.args;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.args << " -> " << error;
  }
}

TEST(MatchOpenings, EpdAndPgn) {
  testsupport::TempDir dir;
  OpeningSettings s;
  s.file = dir.write("o.epd",
                     "# a comment\n"
                     "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1\n"
                     "\n"
                     "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - bm Bb5; id \"x\";\n"
                     "rnbqkbnr/ppp1pppp/8/P2p4/1P6/7N/2PPPPPP/RNBQKB1R w KQkq - hmvc 3; fmvn 5;\n");
  std::vector<Opening> o;
  std::string error;
  ASSERT_TRUE(loadOpenings(s, o, error)) << error;
  ASSERT_EQ(o.size(), 3u);
  EXPECT_EQ(o[1].fen, "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 0 1");
  EXPECT_EQ(o[2].fen, "rnbqkbnr/ppp1pppp/8/P2p4/1P6/7N/2PPPPPP/RNBQKB1R w KQkq - 3 5");

  s.file = dir.write("o.pgn",
                     "[Event \"a\"]\n[Result \"*\"]\n\n1. e4 {best} e5 (1... c5 2. Nf3) 2. Nf3 $1 Nc6 3.Bb5 a6 *\n\n"
                     "[FEN \"4k3/8/8/8/8/8/4P3/4K3 b - - 0 10\"]\n[SetUp \"1\"]\n\n10... Kd7 11. e4 1/2-1/2\n");
  s.pgn = true;
  s.plies = 4;
  ASSERT_TRUE(loadOpenings(s, o, error)) << error;
  ASSERT_EQ(o.size(), 2u);
  EXPECT_EQ(o[0].moves, (std::vector<std::string>{"e2e4", "e7e5", "g1f3", "b8c6"}));
  EXPECT_TRUE(o[0].standardStart);
  EXPECT_EQ(o[1].fen, "4k3/8/8/8/8/8/4P3/4K3 b - - 0 10");
  EXPECT_EQ(o[1].moves, (std::vector<std::string>{"e8d7", "e2e4"}));

  // The pair's opening: the file order from start=, or one fixed permutation of it.
  s.start = 2;
  EXPECT_EQ(openingIndex(s, 5, 1, 0), 1u);
  EXPECT_EQ(openingIndex(s, 5, 1, 4), 0u);
  s.random = true;
  std::vector<int> seen(5);
  for (int p = 0; p < 5; ++p) seen[openingIndex(s, 5, 7, p)]++;
  EXPECT_EQ(seen, std::vector<int>(5, 1));
}

TEST(MatchOpenings, BadFilesNameTheLine) {
  testsupport::TempDir dir;
  const struct {
    const char *text, *format, *message;
  } cases[] = {
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1\nnot a position\n", "epd", "o:2: "},
      {"8/8/8/8/8/8/8/8 w - - 0 1\n", "epd", "o:1: not a legal position"},
      {"[Event \"a\"]\n\n1. e4 e5\n2. Ke3 Nc6 *\n", "pgn", "o:4: illegal or unreadable move 'Ke3'"},
      {"1. e4 {open comment\n", "pgn", "unterminated"},
      {"", "epd", "no openings"},
  };
  for (const auto& c : cases) {
    OpeningSettings s;
    s.file = dir.write("o", c.text);
    s.pgn = std::string(c.format) == "pgn";
    std::vector<Opening> o;
    std::string error;
    EXPECT_FALSE(loadOpenings(s, o, error)) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.text << " -> " << error;
  }
}

}  // namespace
