// Physical-memory query, the memory limit of the process's control group, and the cap of the hash
// size against them.
#pragma once

#include <cstdint>
#include <string>

namespace SysMem {

// Where the control-group limits are read: the process's list of groups and the mount point of the
// group file system. Tests point them at files of their own.
struct CgroupFiles {
  std::string selfCgroup = "/proc/self/cgroup";
  std::string mountRoot = "/sys/fs/cgroup";
};

std::uint64_t physicalBytes();
// The smallest memory limit on the process's group and its ancestors (v2 memory.max, v1
// memory.limit_in_bytes), in bytes; 0 when there is none or nothing can be read.
std::uint64_t cgroupLimitBytes(const CgroupFiles& files = {});
// What the process may use: physical memory, or the group's limit when that is smaller; 0 when
// neither is known.
std::uint64_t usableBytes(const CgroupFiles& files = {});
std::uint64_t clampHashMb(std::uint64_t requestedMb, std::uint64_t physicalBytes);

}  // namespace SysMem
