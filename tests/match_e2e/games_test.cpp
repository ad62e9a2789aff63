// quorvane-match end to end: faults of a scripted fake engine, bad input, games of the real engine
// (determinism, shards and their merge), and interruption.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <algorithm>
#include <string>

#include "support/temp_dir.h"
#include "tools/match/json.h"

using testsupport::readFile;
using testsupport::TempDir;

namespace {

struct MatchRun {
  int status = -1;
  std::string out, err;
};

MatchRun match(const TempDir& dir, const std::string& args) {
  const std::string command = std::string(QUORVANE_MATCH_BIN) + " " + args + " >" + dir.file("out") + " 2>" +
                              dir.file("err") + " </dev/null";
  const int status = std::system(command.c_str());
  MatchRun r;
  r.status = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = readFile(dir.file("out"));
  r.err = readFile(dir.file("err"));
  return r;
}

const std::string kFake = QUORVANE_FAKE_ENGINE;
const std::string kEngine = QUORVANE_BIN;

Match::Json::Value summary(const std::string& path) {
  Match::Json::Value v;
  std::string error;
  EXPECT_TRUE(Match::Json::parse(readFile(path), v, error)) << error;
  return v;
}

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

// Each fault of the fake engine (named "fake", always the second engine) ends its game against it,
// is counted under its kind, and with -recover the match goes on. The fake misbehaves once per
// process: at its Nth "go" since it started, so a restarted fake misbehaves again.
TEST(MatchGames, FaultsOfAFakeEngine) {
  const struct {
    const char* fakeArgs;
    const char* limits;
    bool recover;
    int status;
    int games;
    const char* kind;
    int faults;
    const char* reason;
  } cases[] = {
      {"arg=crash=3", "nodes=1", true, 0, 2, "crash", 2, "Black's engine crashed"},
      {"arg=crash=3", "nodes=1", false, 2, 1, "crash", 1, "stopped after an engine fault"},
      {"arg=illegal=2", "nodes=1", false, 0, 2, "illegal", 1, "makes an illegal move: a1a1"},
      {"arg=stall=2", "nodes=1", true, 0, 2, "stall", 2, "stalls (no bestmove)"},
      {"arg=disconnect=2", "nodes=1", true, 0, 2, "disconnect", 2, "disconnects"},
      {"arg=flag=2", "tc=0.3+0.01", false, 0, 2, "time", 1, "loses on time"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const MatchRun r = match(dir, "-engine cmd=" + kFake + " name=good -engine cmd=" + kFake + " name=fake " + c.fakeArgs +
                                 " -each " + c.limits + " -games 2 -stalltimeout 300 -handshaketimeout 2000 " +
                                 (c.recover ? "-recover " : "") + "-pgnout " + dir.file("g.pgn") + " -jsonout " +
                                 dir.file("s.json"));
    SCOPED_TRACE(c.fakeArgs);
    EXPECT_EQ(r.status, c.status) << r.err;
    const std::string pgn = readFile(dir.file("g.pgn"));
    EXPECT_EQ(count(pgn, "[Event "), c.games);
    EXPECT_NE((pgn + r.out).find(c.reason), std::string::npos) << pgn << r.out;
    const auto v = summary(dir.file("s.json"));
    EXPECT_EQ(v["games"].num, c.games);
    EXPECT_EQ(v["faults"]["fake"][c.kind].num, c.faults);
    EXPECT_EQ(v["faults"]["good"][c.kind].num, 0);
    EXPECT_GE(v["wins"].num, c.faults);  // every fault lost a game for the fake
  }
}

// A fake that crashes at its first move every game loses every pair: the SPRT accepts H1 long
// before the games run out, and the match stops there with status 0. (Against elo1=200: even a
// clean sweep moves the ratio only by ln(s1/s0) per pair, 0.014 for elo1=5.)
TEST(MatchGames, SprtStopsTheMatch) {
  TempDir dir;
  const MatchRun r = match(dir, "-engine cmd=" + kFake + " name=good -engine cmd=" + kFake +
                                    " name=fake arg=crash=1 -each nodes=1 -recover -games 400 -sprt elo0=0 elo1=200 "
                                    "-jsonout " + dir.file("s.json"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("SPRT: H1 accepted after "), std::string::npos) << r.err;
  const auto v = summary(dir.file("s.json"));
  EXPECT_EQ(v["games"].num, 16);  // ln(0.7597 / 0.5) = 0.418 per pair: the 8th pair crosses 2.944
  EXPECT_EQ(v["pentanomial"].items[4].num * 2, v["games"].num);
  EXPECT_GE(v["llr"].num, std::log(0.95 / 0.05));
  EXPECT_EQ(v["sprt"]["decision"].str, "H1 accepted");
}

TEST(MatchGames, BadInputBeforeAnyGame) {
  TempDir dir;
  const std::string two = "-engine cmd=" + kFake + " -engine cmd=" + kFake + " name=b -each nodes=1 ";
  const struct {
    std::string args, message;
  } cases[] = {
      {"-engine cmd=" + dir.file("missing") + " -engine cmd=" + kFake + " -each nodes=1", "cannot run"},
      {"-engine cmd=" + kFake + " arg=nouciok name=mute -engine cmd=" + kFake + " -each nodes=1 -handshaketimeout 300",
       "engine mute (" + kFake + ") did not answer uci with uciok within 300 ms"},
      {"-engine cmd=" + kFake + " arg=noreadyok name=mute -engine cmd=" + kFake + " -each nodes=1 -handshaketimeout 300",
       "did not answer isready with readyok"},
      {two + "-pgnout " + dir.file("no/such/dir/g.pgn"), "g.pgn: cannot write"},
      {two + "-jsonout " + dir.file("no/such/dir/s.json"), "s.json: cannot write"},
      {two + "-openings file=" + dir.write("bad.pgn", "1. e4 e5 2. Qh6 *\n") + " format=pgn", "bad.pgn:1: illegal"},
      {two + "-concurrency 0", "-concurrency"},
  };
  for (const auto& c : cases) {
    const MatchRun r = match(dir, c.args);
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_EQ(count(r.err, "\n"), 1) << r.err;
  }
  // -check reads the settings and the openings and starts nothing.
  const MatchRun check = match(dir, "-engine cmd=" + dir.file("not-built-yet") + " -engine cmd=b -each nodes=1 -check");
  EXPECT_EQ(check.status, 0);
  EXPECT_EQ(check.err, "quorvane-match: the settings are good\n");
}

// The real engine at fixed nodes: the same moves from the same settings, and two shards merged give
// the counts and LLR of the whole run.
TEST(MatchGames, DeterministicShardsMerge) {
  TempDir dir;
  const std::string openings = dir.write("o.epd",
                                         "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2\n"
                                         "rnbqkb1r/pppppppp/5n2/8/3P4/8/PPP1PPPP/RNBQKBNR w KQkq - 1 2\n"
                                         "rnbqkbnr/pp1ppppp/8/2p5/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2\n");
  const std::string common = "-engine cmd=" + kEngine + " name=one option.Hash=4 -engine cmd=" + kEngine +
                             " name=two option.Hash=4 -each nodes=600 -games 6 -openings file=" + openings +
                             " format=epd order=random -seed 5 -sprt elo0=0 elo1=10 -resign movecount=3 score=800 ";
  auto moves = [](const std::string& pgn) {
    // The games without the Date tags and the times in the comments, which vary from run to run.
    std::string out;
    std::size_t p = 0;
    while (p < pgn.size()) {
      std::size_t e = pgn.find('\n', p);
      e = e == std::string::npos ? pgn.size() : e + 1;
      if (pgn.compare(p, 6, "[Date ") != 0) out.append(pgn, p, e - p);
      p = e;
    }
    for (std::size_t q; (q = out.find("s}")) != std::string::npos;) {
      std::size_t b = q;
      while (b > 0 && (std::isdigit(static_cast<unsigned char>(out[b - 1])) || out[b - 1] == '.')) --b;
      out.replace(b, q + 1 - b, "");
    }
    return out;
  };
  ASSERT_EQ(match(dir, common + "-pgnout " + dir.file("a.pgn") + " -jsonout " + dir.file("a.json")).status, 0);
  ASSERT_EQ(match(dir, common + "-concurrency 2 -pgnout " + dir.file("b.pgn")).status, 0);
  const std::string a = readFile(dir.file("a.pgn"));
  EXPECT_EQ(count(a, "[Event "), 6);
  EXPECT_EQ(moves(a).size() > 0, true);
  // With two games at once the order of the games in the file may differ; each game is the same.
  auto games = [&](const std::string& pgn) {
    std::vector<std::string> out;
    const std::string m = moves(pgn);
    for (std::size_t p = m.find("[Event "); p != std::string::npos;) {
      const std::size_t q = m.find("[Event ", p + 1);
      out.push_back(m.substr(p, q == std::string::npos ? std::string::npos : q - p));
      p = q;
    }
    std::sort(out.begin(), out.end());
    return out;
  };
  EXPECT_EQ(games(a), games(readFile(dir.file("b.pgn"))));

  for (int i = 0; i < 2; ++i)
    ASSERT_EQ(match(dir, common + "-shard " + std::to_string(i) + "/2 -jsonout " + dir.file("s" + std::to_string(i) + ".json")).status, 0);
  const MatchRun merged = match(dir, "merge -jsonout " + dir.file("m.json") + " " + dir.file("s1.json") + " " + dir.file("s0.json"));
  ASSERT_EQ(merged.status, 0) << merged.err;
  const auto whole = summary(dir.file("a.json")), sum = summary(dir.file("m.json"));
  for (const char* key : {"wins", "draws", "losses", "llr", "elo"}) EXPECT_EQ(whole[key].num, sum[key].num) << key;
  for (int k = 0; k < 5; ++k) EXPECT_EQ(whole["pentanomial"].items[k].num, sum["pentanomial"].items[k].num);
  const std::string report = readFile(dir.file("out"));
  EXPECT_NE(report.find("SPRT (logistic"), std::string::npos) << report;

  // An incomplete set is refused, naming what is missing.
  const MatchRun partial = match(dir, "merge " + dir.file("s0.json"));
  EXPECT_EQ(partial.status, 1);
  EXPECT_NE(partial.err.find("no summary of shard 1 of 2"), std::string::npos) << partial.err;
  // So is a shard whose run never ended (killed outright): its summary was last rewritten mid-run.
  std::string midRun = readFile(dir.file("s1.json"));
  midRun.replace(midRun.find("\"complete\": true"), 16, "\"complete\": false");
  const MatchRun killed = match(dir, "merge " + dir.file("s0.json") + " " + dir.write("k.json", midRun));
  EXPECT_EQ(killed.status, 1);
  EXPECT_NE(killed.err.find("unfinished shard 1/2 (never finished"), std::string::npos) << killed.err;
}

// SIGTERM in the middle: every finished game is in both files, none half-written, status 143.
TEST(MatchGames, TerminatedMidMatch) {
  TempDir dir;
  const std::string script = std::string(QUORVANE_MATCH_BIN) + " -engine cmd=" + kEngine + " -engine cmd=" + kEngine +
                             " -each nodes=3000 option.Hash=4 -games 200 -pgnout " + dir.file("g.pgn") +
                             " -jsonout " + dir.file("s.json") + " -ratinginterval 1 >/dev/null 2>&1 & pid=$!\n"
                             "for i in $(seq 200); do grep -q Event " + dir.file("g.pgn") +
                             " 2>/dev/null && break; sleep 0.1; done\n"
                             "kill -TERM $pid; wait $pid; echo $? >" + dir.file("status");
  ASSERT_EQ(std::system(("bash -c '" + script + "'").c_str()), 0);
  EXPECT_EQ(readFile(dir.file("status")), "143\n");
  const std::string pgn = readFile(dir.file("g.pgn"));
  const int games = count(pgn, "[Event ");
  EXPECT_GE(games, 1);
  EXPECT_EQ(count(pgn, "[Result "), games);
  const bool endsWhole = pgn.ends_with("1-0\n\n") || pgn.ends_with("0-1\n\n") || pgn.ends_with("1/2-1/2\n\n");
  EXPECT_TRUE(endsWhole) << pgn.substr(pgn.size() > 200 ? pgn.size() - 200 : 0);
  const auto v = summary(dir.file("s.json"));
  EXPECT_TRUE(v["interrupted"].boolean);
  EXPECT_EQ(v["games"].num, games);
}

}  // namespace
