// Shared lock-free transposition table: four 16-byte entries per 64-byte bucket.
#pragma once

#include <atomic>
#include <cstddef>

#include "board/types.h"

enum TTFlag : u8 { Exact = 0, Lower = 1, Upper = 2 };

struct TTData {
  u32 move;
  i32 score;
  i32 depth;
  TTFlag flag;
};

struct TTEntry {
  std::atomic<u64> word0;  // key ^ data
  std::atomic<u64> data;
};

struct alignas(64) TTBucket {
  TTEntry entries[4];
};

class TranspositionTable {
 public:
  TranspositionTable() = default;
  ~TranspositionTable();
  TranspositionTable(const TranspositionTable&) = delete;
  TranspositionTable& operator=(const TranspositionTable&) = delete;

  bool resize(std::size_t mb);
  void clear();
  bool probe(u64 key, TTData& out) const;
  void store(u64 key, u32 move, int score, int depth, TTFlag flag, int ply);
  void newSearch() { ++generation; }
  void prefetch(u64 key) const {
    if (buckets) __builtin_prefetch(&buckets[index(key)]);
  }
  u64 bucketCount() const { return count; }
  u8 currentGeneration() const { return generation; }

  static int scoreToTT(int score, int ply) {
    return score > 29743 ? score + ply : score < -29743 ? score - ply : score;
  }
  static int scoreFromTT(int score, int ply) {
    return score > 29743 ? score - ply : score < -29743 ? score + ply : score;
  }

 private:
  u64 index(u64 key) const { return pow2 ? key & mask : key % count; }

  TTBucket* buckets = nullptr;
  u64 count = 0;
  u8 generation = 0;
  u64 mask = 0;
  bool pow2 = false;
};

extern TranspositionTable gTT;
