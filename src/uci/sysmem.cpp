// Total physical memory of the machine and the cap it puts on the hash size.
#include "uci/sysmem.h"

#include "text/numbers.h"

#include <fstream>
#include <string_view>

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

namespace {

// A limit file holds a byte count, or "max" (v2) for no limit; anything unreadable counts as none.
std::uint64_t readLimit(const std::string& path) {
  std::ifstream in(path);
  std::string text;
  if (!(in >> text)) return 0;
  std::uint64_t v = 0;
  return parseWhole(text, v) ? v : 0;
}

// A group is held by its own limit and by every ancestor's: the smallest from dir/group up to dir.
std::uint64_t smallestLimit(const std::string& dir, std::string group, const char* file) {
  std::uint64_t best = 0;
  while (!group.empty() && group.back() == '/') group.pop_back();
  for (;;) {
    const std::uint64_t v = readLimit(dir + group + "/" + file);
    if (v != 0 && (best == 0 || v < best)) best = v;
    if (group.empty()) return best;
    const std::size_t slash = group.rfind('/');
    group.erase(slash == std::string::npos ? 0 : slash);
  }
}

bool listsController(std::string_view list, std::string_view name) {
  for (;;) {
    const std::size_t comma = list.find(',');
    if (list.substr(0, comma) == name) return true;
    if (comma == std::string_view::npos) return false;
    list.remove_prefix(comma + 1);
  }
}

}  // namespace

std::uint64_t cgroupLimitBytes(const CgroupFiles& files) {
  std::ifstream in(files.selfCgroup);
  std::uint64_t best = 0;
  // Lines "id:controllers:path": v2 is the line with id 0 and no controllers; v1 has a hierarchy
  // per controller, mounted under its name.
  for (std::string line; std::getline(in, line);) {
    const std::size_t a = line.find(':');
    const std::size_t b = a == std::string::npos ? a : line.find(':', a + 1);
    if (b == std::string::npos) continue;
    const std::string_view controllers = std::string_view(line).substr(a + 1, b - a - 1);
    const std::string group = line.substr(b + 1);
    std::uint64_t v = 0;
    if (line.compare(0, a, "0") == 0 && controllers.empty())
      v = smallestLimit(files.mountRoot, group, "memory.max");
    else if (listsController(controllers, "memory"))
      v = smallestLimit(files.mountRoot + "/memory", group, "memory.limit_in_bytes");
    if (v != 0 && (best == 0 || v < best)) best = v;
  }
  return best;
}

std::uint64_t usableBytes(const CgroupFiles& files) {
  const std::uint64_t phys = physicalBytes();
  const std::uint64_t limit = cgroupLimitBytes(files);
  if (limit == 0) return phys;
  return phys == 0 || limit < phys ? limit : phys;
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
