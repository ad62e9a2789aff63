// Total physical memory of the machine and the cap it puts on the hash size.
#include "uci/sysmem.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#elif defined(__APPLE__)
#include <sys/sysctl.h>
#include <sys/types.h>
#else
#include <unistd.h>
#endif

namespace SysMem {

// 0 stands for "unknown"; every branch reports a failed query that way instead of guessing.
std::uint64_t physicalBytes() {
#if defined(_WIN32)
  MEMORYSTATUSEX status;
  status.dwLength = sizeof(status);
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return static_cast<std::uint64_t>(status.ullTotalPhys);
#elif defined(__APPLE__)
  std::uint64_t bytes = 0;
  std::size_t length = sizeof(bytes);
  if (sysctlbyname("hw.memsize", &bytes, &length, nullptr, 0) != 0 || length != sizeof(bytes)) return 0;
  return bytes;
#elif defined(_SC_PHYS_PAGES) && defined(_SC_PAGE_SIZE)
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
#else
  return 0;
#endif
}

std::uint64_t clampHashMb(std::uint64_t requestedMb, std::uint64_t physicalBytes) {
  if (physicalBytes == 0) return requestedMb;  // no cap after a failed query
  constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
  // Integer steps, each rounding down: whole megabytes first, then three quarters of them. Below
  // 2 MiB that would give 0, so a single megabyte is the floor.
  const std::uint64_t cap = physicalBytes < 2 * kMiB ? 1 : (physicalBytes / kMiB) * 3 / 4;
  return requestedMb < cap ? requestedMb : cap;
}

}  // namespace SysMem
