// Transposition table: allocation, probing and the depth/age replacement rule.
#include "tt/tt.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#if defined(__linux__)
#include <sys/mman.h>
#endif

TranspositionTable gTT;

namespace {

// Tables of at least this size are aligned to a huge page and offered to the kernel as huge-page
// backed: the search touches buckets at random, and fewer TLB misses are measurable there.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

// The largest size in MB we attempt. It keeps mb << 20, plus the rounding to the alignment that
// the allocator may add, far below the size_t limit, so a silly request fails instead of wrapping
// around to a small allocation.
constexpr std::size_t kMaxMb = std::numeric_limits<std::size_t>::max() >> 21;

constexpr int kAgePenalty = 8;

// Aligned storage that reports failure by a null pointer (no exception on any path).
void* allocateAligned(std::size_t bytes, std::size_t align) {
  const std::size_t rounded =
      (bytes + align - 1) / align * align;  // aligned_alloc wants a multiple
#if defined(_WIN32)
  return _aligned_malloc(rounded, align);
#else
  return std::aligned_alloc(align, rounded);
#endif
}

void freeAligned(void* mem) {
#if defined(_WIN32)
  _aligned_free(mem);
#else
  std::free(mem);
#endif
}

void adviseHugePages([[maybe_unused]] void* mem, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (bytes >= kHugePage) madvise(mem, bytes, MADV_HUGEPAGE);
#endif
}

constexpr int storedDepth(u64 data) { return static_cast<std::int8_t>(data >> 48); }
constexpr u64 storedGeneration(u64 data) { return data >> 58; }



}  // namespace

TranspositionTable::~TranspositionTable() { release(); }

void TranspositionTable::release() {
  if (!buckets) return;
  // TTBucket is trivially destructible; only the storage goes back.
  freeAligned(buckets);
  buckets = nullptr;
}

bool TranspositionTable::resize(std::size_t mb) {
  if (mb > kMaxMb) return false;
  const u64 newCount = mb == 0 ? 1 : static_cast<u64>(mb) * kBucketsPerMb;
  const std::size_t bytes = static_cast<std::size_t>(newCount) * sizeof(TTBucket);
  const std::size_t align = bytes >= kHugePage ? kHugePage : alignof(TTBucket);

  void* mem = allocateAligned(bytes, align);
  if (!mem) return false;
  adviseHugePages(mem, bytes);

  // TTBucket is an implicit-lifetime type: the allocation holds the buckets, the memset zeroes them.
  TTBucket* fresh = static_cast<TTBucket*>(mem);
  std::memset(fresh, 0, bytes);

  release();
  buckets = fresh;
  count = newCount;
  mask = newCount - 1;
  pow2 = (newCount & (newCount - 1)) == 0;
  generation = 0;
  return true;
}

void TranspositionTable::clear() {
  // No search runs (the callers stop it first), so nothing reads the words meanwhile.
  if (buckets) std::memset(buckets, 0, static_cast<std::size_t>(count) * sizeof(TTBucket));
  generation = 0;
}

void TranspositionTable::store(u64 key, u32 move, int score, int depth, TTFlag flag, int ply) {
  if (!buckets) return;

  // The depth field is 8 bits wide; an infinite search can reach depth 128, which must not wrap
  // around to -128 (that would make the deepest result the first to be thrown away).
  depth = std::clamp(depth, -128, 127);
  const u64 gen = generation & 63;
  const u64 data = u64{move} | (u64{static_cast<u16>(scoreToTT(score, ply))} << 32) |
                   (u64{static_cast<u8>(depth)} << 48) | (u64{static_cast<u64>(flag) & 3} << 56) |
                   (gen << 58);

  TTEntry* entries = buckets[index(key)].entries;
  TTEntry* victim = nullptr;
  int victimWorth = std::numeric_limits<int>::max();
  for (int i = 0; i < 4; ++i) {
    TTEntry& e = entries[i];
    const u64 w0 = load(e.word0);
    const u64 old = load(e.data);
    if ((w0 | old) == 0) {
      write(e, key, data);
      return;
    }
    if ((w0 ^ old) == key) {
      // A quiescence result never replaces a main-search result of the same position.
      if (depth < 0 && storedDepth(old) >= 0) return;
      write(e, key, data);
      return;
    }
    const int worth = storedDepth(old) - (storedGeneration(old) != gen ? kAgePenalty : 0);
    if (worth < victimWorth) {  // strict: the earlier entry wins ties
      victimWorth = worth;
      victim = &e;
    }
  }
  if (victimWorth <= depth) write(*victim, key, data);
}
