// The move-generation benchmark subcommand: seconds of perft, so it lives with the slow tests.
#include <string>

#include "e2e_helpers.h"

namespace e2e {
namespace {

TEST(CommandLineSlow, BenchPrintsFourLines) {
  const auto r = testsupport::runEngine({"bench"}, "", 120000);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "pos 1: 4865609 nodes\n"
            "pos 2: 193690690 nodes\n"
            "pos 3: 674624 nodes\n"
            "Total: 199230923 nodes\n");
  EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace e2e
