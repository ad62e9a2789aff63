// The physical-memory query and the cap of the hash size to three quarters of it.
#include <gtest/gtest.h>

#include "uci/sysmem.h"
#include "uci/uci.h"

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

TEST(ClampHashMb, SixteenGiB) {
  const std::uint64_t phys = 17179869184ULL;  // 16 GiB: 16384 MiB, cap 12288
  EXPECT_EQ(SysMem::clampHashMb(65536, phys), 12288u);
  EXPECT_EQ(SysMem::clampHashMb(12288, phys), 12288u);
  EXPECT_EQ(SysMem::clampHashMb(12289, phys), 12288u);
  EXPECT_EQ(SysMem::clampHashMb(4096, phys), 4096u);
  EXPECT_EQ(SysMem::clampHashMb(1, phys), 1u);
}

TEST(ClampHashMb, RoundsDownAtEachStep) {
  EXPECT_EQ(SysMem::clampHashMb(65536, 1000 * kMiB + 5), 750u);  // 1000 MiB and a few bytes
  EXPECT_EQ(SysMem::clampHashMb(65536, 1001 * kMiB), 750u);      // 3003 / 4
  EXPECT_EQ(SysMem::clampHashMb(65536, 3 * kMiB), 2u);           // 9 / 4
  EXPECT_EQ(SysMem::clampHashMb(65536, 4 * kMiB - 1), 2u);       // still 3 whole MiB
}

TEST(ClampHashMb, TinyMemoryLeavesOneMegabyte) {
  EXPECT_EQ(SysMem::clampHashMb(65536, 1 * kMiB), 1u);
  EXPECT_EQ(SysMem::clampHashMb(65536, 2 * kMiB - 1), 1u);
  EXPECT_EQ(SysMem::clampHashMb(65536, 1), 1u);
  EXPECT_EQ(SysMem::clampHashMb(65536, 2 * kMiB), 1u);  // 2 * 3 / 4
}

TEST(ClampHashMb, FailedQueryPassesTheRequest) {
  EXPECT_EQ(SysMem::clampHashMb(65536, 0), 65536u);
  EXPECT_EQ(SysMem::clampHashMb(1, 0), 1u);
}

TEST(PhysicalBytes, ReportsTheMachinesMemory) {
  const std::uint64_t phys = SysMem::physicalBytes();
  // Any machine that runs the tests has more than 64 MiB and less than 64 TiB.
  EXPECT_GT(phys, 64 * kMiB);
  EXPECT_LT(phys, (std::uint64_t{64} << 40));
  EXPECT_EQ(phys, SysMem::physicalBytes());
}

TEST(HashCapMessage, Text) {
  EXPECT_EQ(hashCapMessage(65536, 17179869184ULL, 12288),
            "setoption hash: 65536 МБ — більше за 3/4 фізичної RAM (16384 МБ); використано 12288 МБ");
  // Physical memory is shown in whole mebibytes, rounded down.
  EXPECT_EQ(hashCapMessage(1024, 1000 * kMiB + 5, 750),
            "setoption hash: 1024 МБ — більше за 3/4 фізичної RAM (1000 МБ); використано 750 МБ");
}

}  // namespace
