// The search benchmark: reproducible output and the pinned node total (behavioural signature).
#include <vector>

#include "search_env.h"
#include "support/text.h"
#include "support/uci_process.h"

namespace {

using testsupport::lines;
using testsupport::words;

// Time and speed are the only fields allowed to differ between runs: blank their numbers (after
// "time" and "nps" on a position line, before "ms" and "nps" on the totals line).
std::string withoutTimes(const std::string& text) {
  std::string out;
  for (const std::string& line : lines(text)) {
    const std::vector<std::string> w = words(line);
    const bool totals = !w.empty() && w[0] == "bench:";
    for (size_t i = 0; i < w.size(); ++i) {
      const bool blank = totals ? (i + 1 < w.size() && (w[i + 1] == "ms" || w[i + 1] == "nps"))
                                : (i > 0 && (w[i - 1] == "time" || w[i - 1] == "nps"));
      out.append(blank ? std::string_view("_") : std::string_view(w[i]));
      out.push_back(' ');
    }
    out += '\n';
  }
  return out;
}

std::string runBench(int depth) {
  searchtest::StreamCapture capture;
  runBenchSearch(depth);
  return capture.text();
}

// "bench: N nodes Q qnodes T ms P nps" as the last line; 0 when it is missing or malformed.
u64 totalNodes(const std::string& out) {
  const std::vector<std::string> rows = lines(out);
  if (rows.empty()) return 0;
  const std::vector<std::string> w = words(rows.back());
  if (w.size() != 9 || w[0] != "bench:" || w[2] != "nodes" || w[4] != "qnodes" || w[6] != "ms" || w[8] != "nps")
    return 0;
  return std::stoull(w[1]);
}

}  // namespace

// Node total of "benchsearch 6": any change to search or evaluation behaviour moves it.
constexpr u64 kBenchNodesDepth6 = 97600;

TEST(BenchSearch, SameOutputTwiceApartFromTimeAndPinnedNodes) {
  const std::string first = runBench(6);
  const std::string second = runBench(6);
  EXPECT_EQ(withoutTimes(first), withoutTimes(second));
  EXPECT_NE(first, withoutTimes(first));  // the blanking did touch something
  EXPECT_EQ(totalNodes(first), kBenchNodesDepth6) << first;
}

TEST(BenchSearch, LinesAndTotals) {
  const std::string out = runBench(3);
  const std::vector<std::string> rows = lines(out);
  ASSERT_EQ(rows.size(), 11u) << out;
  u64 nodes = 0;
  for (int i = 0; i < 10; ++i) {
    const std::vector<std::string> w = words(rows[i]);
    ASSERT_GE(w.size(), 19u) << rows[i];
    EXPECT_EQ(w[0], "pos");
    EXPECT_EQ(w[1], std::to_string(i + 1));
    EXPECT_EQ(w[2], "depth");
    EXPECT_EQ(w[3], "3");
    EXPECT_EQ(w[4], "bestmove");
    EXPECT_TRUE(w[5].size() == 4 || w[5].size() == 5) << w[5];
    EXPECT_EQ(w[6], "score");
    EXPECT_TRUE(w[7] == "cp" || w[7] == "mate");
    EXPECT_EQ(w[9], "nodes");
    EXPECT_EQ(w[11], "qnodes");
    EXPECT_EQ(w[13], "time");
    EXPECT_EQ(w[15], "nps");
    EXPECT_EQ(w[17], "pv");
    EXPECT_EQ(w[18], w[5]);  // the PV starts with the best move
    EXPECT_LE(std::stoull(w[12]), std::stoull(w[10]));
    nodes += std::stoull(w[10]);
  }
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

// The total of "quorvane benchsearch" at its default depth, the engine's behavioural signature.
// Seconds of search: labelled slow by its suite's name.
TEST(BenchSearchSlow, DefaultDepthPinsTheBenchTotal) {
  const std::string out = runBench(0);
  EXPECT_EQ(totalNodes(out), 2805482u) << out;
  EXPECT_NE(out.find("pos 10 depth 11 "), std::string::npos) << out;
}
