// Shared lock-free transposition table: four 16-byte entries per 64-byte bucket.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "board/score.h"
#include "types/types.h"

enum TTFlag : u8 { Exact = 0, Lower = 1, Upper = 2 };

struct TTData {
  u32 move;
  i32 score;  // still in stored (node-relative) form: pass it through scoreFromTT
  i32 depth;
  TTFlag flag;
};

// An entry is written as two independent 64-bit words. word0 = key ^ data, so a reader that
// sees halves of two different writes computes the wrong key and treats the entry as absent.
// Both words zero = empty. The words are plain so that clear and resize, which run only while no
// search does, can zero the table in one memset; during a search every access goes through a
// relaxed std::atomic_ref.
struct TTEntry {
  u64 word0;  // key ^ data
  u64 data;
};

struct alignas(64) TTBucket {
  TTEntry entries[4];
};

static_assert(sizeof(TTBucket) == 64, "one bucket must be one cache line");

class TranspositionTable {
 public:
  TranspositionTable() = default;
  ~TranspositionTable();
  TranspositionTable(const TranspositionTable&) = delete;
  TranspositionTable& operator=(const TranspositionTable&) = delete;

  // Replaces the table by a zeroed one of mb megabytes (0 gives a single bucket). On allocation
  // failure returns false and the old table, entries and generation stay as they were.
  bool resize(std::size_t mb);
  void clear();
  // Brings every page of the table into memory (the kernel hands them out on first touch), so
  // that a timed search does not pay for that inside its first thousands of nodes: between two
  // looks at the clock they can take seconds with a table of gigabytes. Entries are kept; once
  // per allocation. Only while no search runs.
  void prefault();
  bool pagesResident() const { return resident; }
  inline bool probe(u64 key, TTData& out) const;
  inline void store(u64 key, u32 move, int score, int depth, TTFlag flag, int ply);
  void newSearch() { ++generation; }
  void prefetch(u64 key) const {
    if (buckets) __builtin_prefetch(&buckets[index(key)]);
  }
  u64 bucketCount() const { return count; }
  u8 currentGeneration() const { return generation; }

  static int scoreToTT(int score, int ply) {
    return score > kMaxNonMate ? score + ply : score < -kMaxNonMate ? score - ply : score;
  }
  static int scoreFromTT(int score, int ply) {
    return score > kMaxNonMate ? score - ply : score < -kMaxNonMate ? score + ply : score;
  }

  // Bucket count of one megabyte.
  static constexpr u64 kBucketsPerMb = (u64{1} << 20) / sizeof(TTBucket);

 private:
  u64 index(u64 key) const { return pow2 ? key & mask : key % count; }
  static u64 load(u64& word) { return std::atomic_ref<u64>(word).load(std::memory_order_relaxed); }
  static void write(TTEntry& e, u64 key, u64 data) {
    std::atomic_ref<u64>(e.word0).store(key ^ data, std::memory_order_relaxed);
    std::atomic_ref<u64>(e.data).store(data, std::memory_order_relaxed);
  }
  void release();

  // Replacement: an entry's worth is its depth, less this when an earlier search wrote it.
  static constexpr int kAgePenalty = 8;
  static constexpr int storedDepth(u64 data) { return static_cast<std::int8_t>(data >> 48); }
  static constexpr u64 storedGeneration(u64 data) { return data >> 58; }

  TTBucket* buckets = nullptr;
  std::size_t storageBytes = 0;
  // Set by the first store after a clear or resize; a clear of a table still unwritten skips the
  // memset.
  std::atomic<bool> written{false};
  // Every page has been touched since the table was allocated (by prefault or a full memset).
  bool resident = false;
  u64 count = 0;
  u8 generation = 0;
  u64 mask = 0;
  bool pow2 = false;
};

extern TranspositionTable gTT;

// Inline: every node of the search probes once.
inline bool TranspositionTable::probe(u64 key, TTData& out) const {
  if (!buckets) return false;
  TTEntry* entries = buckets[index(key)].entries;
  for (int i = 0; i < 4; ++i) {
    const u64 w0 = load(entries[i].word0);
    const u64 data = load(entries[i].data);
    if ((w0 ^ data) != key) continue;
    out.move = static_cast<u32>(data);
    out.score = static_cast<i16>(data >> 32);
    out.depth = static_cast<std::int8_t>(data >> 48);
    out.flag = static_cast<TTFlag>((data >> 56) & 3);
    return true;
  }
  return false;
}

// Inline as well: nearly every node stores, most of them from quiescence with a constant depth and
// flag, which the compiler then folds.
inline void TranspositionTable::store(u64 key, u32 move, int score, int depth, TTFlag flag, int ply) {
  if (!buckets) return;

  // The depth field is 8 bits wide; an infinite search can reach depth 128, which must not wrap
  // around to -128 (that would make the deepest result the first to be thrown away).
  depth = std::clamp(depth, -128, 127);
  const u64 gen = generation & 63;
  const u64 data = u64{move} | (u64{static_cast<u16>(scoreToTT(score, ply))} << 32) |
                   (u64{static_cast<u8>(depth)} << 48) | (u64{static_cast<u64>(flag) & 3} << 56) |
                   (gen << 58);

  // Written once per clear, so the line stays shared between the threads the rest of the time.
  if (!written.load(std::memory_order_relaxed)) written.store(true, std::memory_order_relaxed);

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
