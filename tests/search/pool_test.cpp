// Searches started through the thread pool: roots without a legal move.
#include "search_env.h"
#include "support/boards.h"
#include "support/positions.h"

namespace {

std::string searchThroughPool(const char* fen, const SearchLimits& limits, std::size_t threads = 1) {
  gThreads.set(threads);
  auto board = testsupport::boardFrom(fen);
  searchtest::StreamCapture capture;
  gThreads.startThinking(*board, limits);
  gThreads.waitForSearchFinished();
  return capture.text();
}

std::string searchThroughPool(const char* fen, int depth) { return searchThroughPool(fen, {.depth = depth}); }

}  // namespace

TEST(PoolSearch, StalemateRootPrintsDepthZeroAndNullMove) {
  EXPECT_EQ(searchThroughPool(kStalemate, 6), "info depth 0 score cp 0\nbestmove 0000\n");
}

TEST(PoolSearch, CheckmateRootPrintsMateZeroAndNullMove) {
  EXPECT_EQ(searchThroughPool("7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", 6), "info depth 0 score mate 0\nbestmove 0000\n");
}

TEST(PoolSearch, DepthZeroSearchesNothing) {
  EXPECT_EQ(searchThroughPool(kStartFen, 0), "bestmove 0000\n");
}

TEST(PoolSearch, FixedDepthPrintsOneLinePerIterationThenTheMove) {
  const std::string out = searchThroughPool(kStartFen, 4);
  for (int d = 1; d <= 4; ++d)
    EXPECT_NE(out.find("info depth " + std::to_string(d) + " seldepth "), std::string::npos) << out;
  EXPECT_EQ(out.find("info depth 5"), std::string::npos) << out;
  const auto last = out.rfind("bestmove ");
  ASSERT_NE(last, std::string::npos) << out;
  EXPECT_NE(out.substr(last), "bestmove 0000\n");
  EXPECT_EQ(out.back(), '\n');
}

TEST(PoolSearch, NodeLimitCountsTheMainThreadOnly) {
  const std::string out = searchThroughPool(
      "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4", {.nodes = 20000}, 2);
  // The limit is tested at main-search nodes only; quiescence nodes in between may carry the count
  // a little past it, but never far.
  EXPECT_GE(gThreads[0].nodes.load(), 20000u);
  EXPECT_LT(gThreads[0].nodes.load(), 25000u);
  const auto last = out.rfind("bestmove ");
  ASSERT_NE(last, std::string::npos) << out;
  EXPECT_NE(out.substr(last), "bestmove 0000\n") << out;
  gThreads.set(1);
}

TEST(PoolSearch, SearchStoppedBeforeAnyRootMoveStillNamesALegalMove) {
  // The root node itself reaches the limit.
  const std::string out = searchThroughPool(kStartFen, {.nodes = 1});
  EXPECT_NE(out.find("info depth 1 "), std::string::npos) << out;
  // The first legal move in generation order stands in for the unfinished iteration.
  EXPECT_NE(out.find("bestmove a2a3\n"), std::string::npos) << out;
}
