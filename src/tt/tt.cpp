// Transposition table: allocation, probing and the depth/age replacement rule.
#include "tt/tt.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
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

// Zeroed, aligned storage that reports failure by a null pointer (no exception on any path). On
// Linux the pages come straight from the kernel, already zero and faulted in only when first
// touched: a table the run never uses (perft, a short search) costs neither time nor memory.
// The smallest unit the system maps memory in.
std::size_t pageBytes() {
#if defined(__linux__)
  return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
#else
  return 4096;
#endif
}

struct Storage {
  void* mem;
  std::size_t bytes;  // what freeStorage needs back
};

Storage allocateZeroed(std::size_t bytes, std::size_t align) {
#if defined(__linux__)
  // Over-allocate by the alignment and give the unaligned head and the whole pages of the tail
  // back (the kernel maps whole pages; a one-bucket table keeps the rest of its page).
  const std::size_t span = bytes + align;
  void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return {nullptr, 0};
  const std::uintptr_t page = pageBytes();
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + align - 1) / align * align;
  if (aligned > start) munmap(raw, aligned - start);
  const std::uintptr_t end = (aligned + bytes + page - 1) / page * page, spanEnd = start + span;
  if (spanEnd > end) munmap(reinterpret_cast<void*>(end), spanEnd - end);
  return {reinterpret_cast<void*>(aligned), bytes};
#else
  const std::size_t rounded = (bytes + align - 1) / align * align;  // aligned_alloc wants a multiple
#if defined(_WIN32)
  void* mem = _aligned_malloc(rounded, align);
#else
  void* mem = std::aligned_alloc(align, rounded);
#endif
  if (mem) std::memset(mem, 0, rounded);
  return {mem, rounded};
#endif
}

void freeStorage(const Storage& s) {
#if defined(__linux__)
  munmap(s.mem, s.bytes);
#elif defined(_WIN32)
  _aligned_free(s.mem);
#else
  std::free(s.mem);
#endif
}

void adviseHugePages([[maybe_unused]] void* mem, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (bytes >= kHugePage) madvise(mem, bytes, MADV_HUGEPAGE);
#endif
}

}  // namespace

TranspositionTable::~TranspositionTable() { release(); }

void TranspositionTable::release() {
  if (!buckets) return;
  // TTBucket is trivially destructible; only the storage goes back.
  freeStorage({buckets, storageBytes});
  buckets = nullptr;
}

bool TranspositionTable::resize(std::size_t mb) {
  if (mb > kMaxMb) return false;
  const u64 newCount = mb == 0 ? 1 : static_cast<u64>(mb) * kBucketsPerMb;
  const std::size_t bytes = static_cast<std::size_t>(newCount) * sizeof(TTBucket);
  const std::size_t align = bytes >= kHugePage ? kHugePage : alignof(TTBucket);

  const Storage storage = allocateZeroed(bytes, align);
  if (!storage.mem) return false;
  adviseHugePages(storage.mem, bytes);

  // TTBucket is an implicit-lifetime type: the zeroed storage holds empty buckets.
  release();
  buckets = static_cast<TTBucket*>(storage.mem);
  storageBytes = storage.bytes;
  written.store(false, std::memory_order_relaxed);
  resident = false;
  count = newCount;
  mask = newCount - 1;
  pow2 = (newCount & (newCount - 1)) == 0;
  generation = 0;
  return true;
}

void TranspositionTable::clear() {
  // No search runs (the callers stop it first), so nothing reads the words meanwhile. A table
  // that nothing was stored in since it was last zeroed is still zero: the memset would only
  // fault in pages nobody reads.
  if (buckets && written.load(std::memory_order_relaxed)) {
    std::memset(buckets, 0, static_cast<std::size_t>(count) * sizeof(TTBucket));
    resident = true;
  }
  written.store(false, std::memory_order_relaxed);
  generation = 0;
}

void TranspositionTable::prefault() {
  if (!buckets || resident) return;
  // One write per page, of the byte already there: a table searched in before keeps its entries.
  auto* bytes = reinterpret_cast<volatile unsigned char*>(buckets);
  const std::size_t size = static_cast<std::size_t>(count) * sizeof(TTBucket), page = pageBytes();
  for (std::size_t i = 0; i < size; i += page) bytes[i] = bytes[i];
  resident = true;
}
