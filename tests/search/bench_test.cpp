// The search benchmark: reproducible output and the pinned node total (behavioural signature).
#include <regex>

#include "search_env.h"
#include "support/uci_process.h"

namespace {

// Time and speed are the only fields allowed to differ between runs.
std::string withoutTimes(const std::string& text) {
  static const std::regex perPosition(" time [0-9]+ nps [0-9]+ ");
  static const std::regex totals(" qnodes [0-9]+ ms [0-9]+ nps");
  return std::regex_replace(std::regex_replace(text, perPosition, " time T nps P "), totals, " qnodes T ms P nps");
}

std::string runBench(int depth) {
  searchtest::CoutCapture capture;
  runBenchSearch(depth);
  return capture.text();
}

u64 totalNodes(const std::string& out) {
  static const std::regex total("bench: ([0-9]+) nodes ([0-9]+) qnodes ([0-9]+) ms ([0-9]+) nps\n$");
  std::smatch m;
  if (!std::regex_search(out, m, total)) return 0;
  return std::stoull(m[1]);
}

}  // namespace

TEST(BenchSearch, SameOutputTwiceApartFromTime) {
  const std::string first = runBench(6);
  const std::string second = runBench(6);
  EXPECT_EQ(withoutTimes(first), withoutTimes(second));
  EXPECT_NE(totalNodes(first), 0u) << first;
}

TEST(BenchSearch, LinesAndTotals) {
  const std::string out = runBench(3);
  static const std::regex line(
      "pos ([0-9]+) depth 3 bestmove [a-h][1-8][a-h][1-8][nbrq]? score (cp -?[0-9]+|mate -?[0-9]+) nodes ([0-9]+) "
      "qnodes ([0-9]+) time [0-9]+ nps [0-9]+ pv [a-h1-8nbrq ]*\n");
  u64 nodes = 0;
  int count = 0;
  for (auto it = std::sregex_iterator(out.begin(), out.end(), line); it != std::sregex_iterator(); ++it) {
    ++count;
    EXPECT_EQ(std::stoi((*it)[1]), count);
    nodes += std::stoull((*it)[3]);
    EXPECT_LE(std::stoull((*it)[4]), std::stoull((*it)[3]));
  }
  EXPECT_EQ(count, 10) << out;
  EXPECT_EQ(totalNodes(out), nodes) << out;
}

TEST(BenchSearchCommand, RejectsBadDepth) {
  for (const char* bad : {"0", "-3", "x", "5x"}) {
    const auto r = testsupport::runEngine({"benchsearch", bad});
    EXPECT_EQ(r.status, 1) << bad;
    EXPECT_EQ(r.err, "benchsearch: глибина має бути цілим числом >= 1\n") << bad;
    EXPECT_EQ(r.out, "") << bad;
  }
}

TEST(BenchSearchCommand, RunsAtTheGivenDepth) {
  const auto r = testsupport::runEngine({"benchsearch", "2"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("pos 10 depth 2 bestmove "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nbench: "), std::string::npos) << r.out;
}
