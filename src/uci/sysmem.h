// Physical-memory query and the cap of the hash size against it.
#pragma once

#include <cstdint>

namespace SysMem {
std::uint64_t physicalBytes();
std::uint64_t clampHashMb(std::uint64_t requestedMb, std::uint64_t physicalBytes);
}  // namespace SysMem
