// The search benchmark at its default depth: the node total printed by "quorvane benchsearch".
#include <sstream>

#include "search_env.h"

namespace {

constexpr u64 kBenchNodesDefaultDepth = 2805482;

}  // namespace

TEST(BenchSearchDefaultDepth, PinnedNodeTotal) {
  std::string out;
  {
    searchtest::StreamCapture capture;
    runBenchSearch(0);
    out = capture.text();
  }
  const auto at = out.rfind("bench: ");
  ASSERT_NE(at, std::string::npos) << out;
  std::istringstream in(out.substr(at + 7));
  u64 nodes = 0;
  in >> nodes;
  EXPECT_EQ(nodes, kBenchNodesDefaultDepth) << out;
  EXPECT_NE(out.find("pos 10 depth 11 "), std::string::npos) << out;
}
