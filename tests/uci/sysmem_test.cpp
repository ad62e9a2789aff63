// The physical-memory query and the cap of the hash size to three quarters of it.
#include "uci/sysmem.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "support/temp_dir.h"
#include "uci/uci.h"

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// The request capped at three quarters of the usable memory in whole MiB, never below 1 MiB; an
// unknown memory size (0) leaves the request as it is.
TEST(ClampHashMb, ThreeQuartersOfTheMemoryRoundedDown) {
  // clang-format off
  const struct {
    std::uint64_t requested, memory, expected;
  } cases[] = {
      {65536, 16384 * kMiB, 12288}, {12288, 16384 * kMiB, 12288}, {12289, 16384 * kMiB, 12288},
      {4096, 16384 * kMiB, 4096},   {1, 16384 * kMiB, 1},
      {65536, 1000 * kMiB + 5, 750},  // 1000 MiB and a few bytes
      {65536, 1001 * kMiB, 750},      // 3003 / 4
      {65536, 3 * kMiB, 2},           // 9 / 4
      {65536, 4 * kMiB - 1, 2},       // still 3 whole MiB
      {65536, 1 * kMiB, 1},         {65536, 2 * kMiB - 1, 1}, {65536, 1, 1},
      {65536, 2 * kMiB, 1},  // 2 * 3 / 4
      {65536, 0, 65536},            {1, 0, 1},
  };
  // clang-format on
  for (const auto& c : cases)
    EXPECT_EQ(SysMem::clampHashMb(c.requested, c.memory), c.expected)
        << c.requested << " " << c.memory;
}

TEST(PhysicalBytes, ReportsTheMachinesMemory) {
  const std::uint64_t phys = SysMem::physicalBytes();
  // Any machine that runs the tests has more than 64 MiB and less than 64 TiB.
  EXPECT_GT(phys, 64 * kMiB);
  EXPECT_LT(phys, (std::uint64_t{64} << 40));
  EXPECT_EQ(phys, SysMem::physicalBytes());
}

// Control groups laid out in a temporary directory: the process's group list and the limit files.
TEST(CgroupLimit, SmallestLimitOnThePathOrNone) {
  const struct {
    const char* name;
    const char* selfCgroup;
    std::vector<std::pair<const char*, const char*>> files;  // path under the mount, content
    std::uint64_t limit;
  } cases[] = {
      {"v2 limit", "0::/ctr\n", {{"ctr/memory.max", "536870912\n"}}, 512 * kMiB},
      {"v2 no limit", "0::/ctr\n", {{"ctr/memory.max", "max\n"}}, 0},
      {"v2 parent is smaller",
       "0::/a/b\n",
       {{"a/b/memory.max", "1073741824\n"},
        {"a/memory.max", "268435456\n"},
        {"memory.max", "max\n"}},
       256 * kMiB},
      {"v2 namespace root", "0::/\n", {{"memory.max", "104857600\n"}}, 100 * kMiB},
      {"v1 limit",
       "4:memory:/docker/x\n1:cpu,cpuacct:/\n",
       {{"memory/docker/x/memory.limit_in_bytes", "209715200\n"}},
       200 * kMiB},
      {"v1 limit with other controllers",
       "3:cpuset:/\n2:blkio,memory:/g\n",
       {{"memory/g/memory.limit_in_bytes", "209715200"}},
       200 * kMiB},
      {"v1 unlimited",
       "4:memory:/\n",
       {{"memory/memory.limit_in_bytes", "9223372036854771712\n"}},
       9223372036854771712ULL},
      {"v1 and v2 both: the smaller", "0::/a\n4:memory:/b\n",
       {{"a/memory.max", "536870912\n"}, {"memory/b/memory.limit_in_bytes", "209715200\n"}},
       200 * kMiB},
      {"unreadable files", "0::/ctr\n4:memory:/ctr\n", {}, 0},
      {"garbage", "0::/ctr\n", {{"ctr/memory.max", "lots\n"}}, 0},
      {"no group list", nullptr, {{"memory.max", "104857600\n"}}, 0},
  };
  for (const auto& c : cases) {
    testsupport::TempDir dir;
    SysMem::CgroupFiles files{dir.file("cgroup"), dir.file("fs")};
    if (c.selfCgroup) dir.write("cgroup", c.selfCgroup);
    for (const auto& [path, text] : c.files) dir.write(std::string("fs/") + path, text);
    EXPECT_EQ(SysMem::cgroupLimitBytes(files), c.limit) << c.name;
    // What the hash is capped against: the smaller of the limit and the machine's memory.
    const std::uint64_t phys = SysMem::physicalBytes();
    EXPECT_EQ(SysMem::usableBytes(files), c.limit != 0 && c.limit < phys ? c.limit : phys)
        << c.name;
  }
}

TEST(HashCapMessage, Text) {
  EXPECT_EQ(hashCapMessage(65536, 17179869184ULL, 12288),
            "setoption hash: 65536 МБ — більше за 3/4 фізичної RAM (16384 МБ); використано 12288 МБ");
  // Physical memory is shown in whole mebibytes, rounded down.
  EXPECT_EQ(hashCapMessage(1024, 1000 * kMiB + 5, 750),
            "setoption hash: 1024 МБ — більше за 3/4 фізичної RAM (1000 МБ); використано 750 МБ");
}

}  // namespace
