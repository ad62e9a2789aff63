// Transposition table: round trips, the replacement rule, ageing, mate-score shifting, sizing.
#include "tt/tt.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

// The failed-resize tests ask for absurd sizes on purpose. Under the sanitizers such a request is a
// hard error unless the allocator may return null, which is exactly the path under test.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
extern "C" const char* __tsan_default_options() { return "allocator_may_return_null=1"; }

namespace {

constexpr u32 kMove = 0x1234;  // any 32-bit value goes through unchanged

std::unique_ptr<TranspositionTable> makeTable(std::size_t mb) {
  auto t = std::make_unique<TranspositionTable>();
  EXPECT_TRUE(t->resize(mb));
  return t;
}

// Keys that all share one bucket: same low bits in a power-of-two table, same residue otherwise.
u64 sameBucketKey(const TranspositionTable& t, u64 base, u64 i) {
  return base + i * t.bucketCount();
}

bool has(const TranspositionTable& t, u64 key) {
  TTData d{};
  return t.probe(key, d);
}

TTData get(const TranspositionTable& t, u64 key) {
  TTData d{};
  EXPECT_TRUE(t.probe(key, d)) << "key " << key;
  return d;
}

TEST(TT, EmptyTableProbeFailsAndStoreDoesNothing) {
  TranspositionTable t;
  EXPECT_EQ(t.bucketCount(), 0u);
  TTData d{};
  EXPECT_FALSE(t.probe(0x123456789ULL, d));
  EXPECT_FALSE(t.probe(0, d));
  t.store(0x123456789ULL, kMove, 10, 5, Exact, 0);
  t.prefetch(0x123456789ULL);
  t.clear();
  EXPECT_FALSE(t.probe(0x123456789ULL, d));
}

TEST(TT, RoundTripOfEveryField) {
  auto t = makeTable(1);
  EXPECT_EQ(t->bucketCount(), 16384u);
  const struct {
    u64 key;
    u32 move;
    int score, depth;
    TTFlag flag;
  } entries[] = {
      {0xDEADBEEFCAFEF00DULL, 0xFFFFFFFFu, -1234, 17, Upper},
      {0x0123456789ABCDEFULL, 0, 31999, -1, Lower},
      {0x0123456789ABCDEFULL, kMove, -31999, 0, Exact},  // the same key again
  };
  for (const auto& e : entries) {
    t->store(e.key, e.move, e.score, e.depth, e.flag, 0);
    const TTData d = get(*t, e.key);
    EXPECT_EQ(d.move, e.move);
    EXPECT_EQ(d.score, e.score);
    EXPECT_EQ(d.depth, e.depth);
    EXPECT_EQ(d.flag, e.flag);
  }
  EXPECT_FALSE(has(*t, 0x0123456789ABCDEEULL));
}

TEST(TT, SameKeyIsOverwrittenWhateverTheDepth) {
  auto t = makeTable(1);
  const u64 key = 0xABCDEF;
  t->store(key, 1, 100, 12, Exact, 0);
  t->store(key, 2, 50, 3, Lower, 0);
  TTData d = get(*t, key);
  EXPECT_EQ(d.move, 2u);
  EXPECT_EQ(d.depth, 3);
  EXPECT_EQ(d.flag, Lower);
}

TEST(TT, QuiescenceStoreKeepsDeeperEntryButReplacesQuiescenceEntry) {
  auto t = makeTable(1);
  const u64 key = 0x55AA55AA55AA55AAULL;
  t->store(key, 7, 40, 0, Exact, 0);  // depth 0 counts as "not negative"
  t->store(key, 8, -40, -1, Upper, 0);
  TTData d = get(*t, key);
  EXPECT_EQ(d.move, 7u);
  EXPECT_EQ(d.depth, 0);
  EXPECT_EQ(d.score, 40);

  const u64 key2 = 0x1111;
  t->store(key2, 1, 10, -1, Lower, 0);
  t->store(key2, 2, 20, -1, Upper, 0);
  d = get(*t, key2);
  EXPECT_EQ(d.move, 2u);
  EXPECT_EQ(d.score, 20);
  EXPECT_EQ(d.flag, Upper);

  // A main-search result replaces a quiescence one.
  t->store(key2, 3, 30, 1, Exact, 0);
  d = get(*t, key2);
  EXPECT_EQ(d.move, 3u);
  EXPECT_EQ(d.depth, 1);
}

TEST(TT, FullBucketDropsShallowerStoreAndReplacesLeastWorthy) {
  auto t = makeTable(1);
  const u64 base = 0x77;
  for (u64 i = 0; i < 4; ++i)
    t->store(sameBucketKey(*t, base, i), static_cast<u32>(i + 1), 0, 5, Exact, 0);
  for (u64 i = 0; i < 4; ++i) EXPECT_TRUE(has(*t, sameBucketKey(*t, base, i)));

  // Same generation: every entry is worth 5, so depth 4 is dropped ...
  t->store(sameBucketKey(*t, base, 4), 9, 0, 4, Exact, 0);
  EXPECT_FALSE(has(*t, sameBucketKey(*t, base, 4)));
  for (u64 i = 0; i < 4; ++i) EXPECT_TRUE(has(*t, sameBucketKey(*t, base, i)));

  // ... and equal worth replaces the first of the equally worthy entries.
  t->store(sameBucketKey(*t, base, 4), 9, 0, 5, Exact, 0);
  EXPECT_TRUE(has(*t, sameBucketKey(*t, base, 4)));
  EXPECT_FALSE(has(*t, sameBucketKey(*t, base, 0)));
  for (u64 i = 1; i < 4; ++i) EXPECT_TRUE(has(*t, sameBucketKey(*t, base, i)));
}

TEST(TT, VictimIsTheLeastWorthyEntry) {
  auto t = makeTable(1);
  const u64 base = 0x3;
  const int depths[4] = {9, 4, 6, 4};
  for (u64 i = 0; i < 4; ++i) t->store(sameBucketKey(*t, base, i), 1, 0, depths[i], Exact, 0);
  t->store(sameBucketKey(*t, base, 4), 1, 0, 4, Exact, 0);
  EXPECT_TRUE(has(*t, sameBucketKey(*t, base, 0)));
  EXPECT_FALSE(has(*t, sameBucketKey(*t, base, 1)));  // first of the two depth-4 entries
  EXPECT_TRUE(has(*t, sameBucketKey(*t, base, 2)));
  EXPECT_TRUE(has(*t, sameBucketKey(*t, base, 3)));
  EXPECT_TRUE(has(*t, sameBucketKey(*t, base, 4)));
}

TEST(TT, AgedEntriesLoseEightPlies) {
  auto t = makeTable(1);
  const u64 base = 0x1F00;
  for (u64 i = 0; i < 4; ++i) t->store(sameBucketKey(*t, base, i), 1, 0, 10, Exact, 0);
  t->newSearch();
  EXPECT_EQ(t->currentGeneration(), 1);

  // Old entries are worth 10 - 8 = 2 now.
  t->store(sameBucketKey(*t, base, 4), 1, 0, 1, Exact, 0);
  EXPECT_FALSE(has(*t, sameBucketKey(*t, base, 4)));
  t->store(sameBucketKey(*t, base, 4), 1, 0, 2, Exact, 0);
  EXPECT_TRUE(has(*t, sameBucketKey(*t, base, 4)));
  EXPECT_FALSE(has(*t, sameBucketKey(*t, base, 0)));

  // The fresh entry in slot 0 (depth 2, current) ties with the aged depth-10 entries (10 - 8):
  // the earlier slot is the victim, whatever its age.
  t->store(sameBucketKey(*t, base, 5), 1, 0, 2, Exact, 0);
  EXPECT_TRUE(has(*t, sameBucketKey(*t, base, 5)));
  EXPECT_FALSE(has(*t, sameBucketKey(*t, base, 4)));
  for (u64 i = 1; i < 4; ++i) EXPECT_TRUE(has(*t, sameBucketKey(*t, base, i)));
}

TEST(TT, OnlyTheLowSixBitsOfTheGenerationCount) {
  auto t = makeTable(1);
  const u64 base = 0x2A;
  for (u64 i = 0; i < 4; ++i) t->store(sameBucketKey(*t, base, i), 1, 0, 5, Exact, 0);
  for (int i = 0; i < 64; ++i) t->newSearch();
  EXPECT_EQ(t->currentGeneration(), 64);
  // Generation 64 looks like generation 0 again: no age penalty, so depth 4 is dropped.
  t->store(sameBucketKey(*t, base, 4), 1, 0, 4, Exact, 0);
  EXPECT_FALSE(has(*t, sameBucketKey(*t, base, 4)));
}

TEST(TT, QuiescenceStoreIntoFullBucket) {
  auto t = makeTable(1);
  const u64 base = 0x99;
  for (u64 i = 0; i < 4; ++i) t->store(sameBucketKey(*t, base, i), 1, 0, 0, Exact, 0);
  t->store(sameBucketKey(*t, base, 4), 1, 0, -1, Upper, 0);
  EXPECT_FALSE(has(*t, sameBucketKey(*t, base, 4)));
  t->newSearch();  // depth 0 of an older search is worth -8
  t->store(sameBucketKey(*t, base, 4), 1, 0, -1, Upper, 0);
  EXPECT_TRUE(has(*t, sameBucketKey(*t, base, 4)));
  EXPECT_FALSE(has(*t, sameBucketKey(*t, base, 0)));
}

TEST(TT, MateScoresShiftWithPly) {
  EXPECT_EQ(TranspositionTable::scoreToTT(29743, 10), 29743);
  EXPECT_EQ(TranspositionTable::scoreToTT(-29743, 10), -29743);
  EXPECT_EQ(TranspositionTable::scoreToTT(29744, 10), 29754);
  EXPECT_EQ(TranspositionTable::scoreToTT(-29744, 10), -29754);
  EXPECT_EQ(TranspositionTable::scoreFromTT(29754, 10), 29744);
  EXPECT_EQ(TranspositionTable::scoreFromTT(-29754, 10), -29744);
  EXPECT_EQ(TranspositionTable::scoreFromTT(500, 10), 500);

  auto t = makeTable(1);
  // Mate delivered at ply 12, seen from a node at ply 4: stored as "mate 8 plies below here".
  const u64 key = 0xC0FFEE;
  t->store(key, kMove, 30000 - 12, 20, Exact, 4);
  TTData d = get(*t, key);
  EXPECT_EQ(d.score, 30000 - 8);
  // The same position reached at ply 7: mate is now at ply 15, i.e. shifted by 7 - 4.
  EXPECT_EQ(TranspositionTable::scoreFromTT(d.score, 7), 30000 - 12 - 3);

  const u64 key2 = 0xBADF00D;
  t->store(key2, kMove, -(30000 - 9), 20, Exact, 2);
  d = get(*t, key2);
  EXPECT_EQ(d.score, -(30000 - 7));
  EXPECT_EQ(TranspositionTable::scoreFromTT(d.score, 1), -(30000 - 8));

  // Non-mate scores are not touched.
  t->store(key2, kMove, 29743, 20, Exact, 50);
  EXPECT_EQ(get(*t, key2).score, 29743);
}

TEST(TT, DepthBeyondEightBitsIsClampedNotWrapped) {
  auto t = makeTable(1);
  t->store(0x42, kMove, 0, 128, Exact, 0);
  EXPECT_EQ(get(*t, 0x42).depth, 127);
  t->store(0x43, kMove, 0, 127, Exact, 0);
  EXPECT_EQ(get(*t, 0x43).depth, 127);
}

TEST(TT, ResizeZeroGivesOneBucket) {
  auto t = makeTable(0);
  EXPECT_EQ(t->bucketCount(), 1u);
  const u64 keys[5] = {1, 0xFFFFFFFFFFFFFFFFULL, 0x8000000000000000ULL, 12345, 777};
  for (int i = 0; i < 4; ++i) t->store(keys[i], 1, 0, 3, Exact, 0);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(has(*t, keys[i]));
  t->store(keys[4], 1, 0, 2, Exact, 0);  // all four share the only bucket: dropped
  EXPECT_FALSE(has(*t, keys[4]));
  t->store(keys[4], 1, 0, 3, Exact, 0);
  EXPECT_TRUE(has(*t, keys[4]));
  EXPECT_FALSE(has(*t, keys[0]));
}

TEST(TT, NonPowerOfTwoSizeIndexesByModulo) {
  auto t = makeTable(3);
  ASSERT_EQ(t->bucketCount(), 3u * 16384u);
  // Keys congruent modulo the bucket count collide; with a mask (count - 1 = 0xBFFF) they would
  // not.
  const u64 base = 0xFEDCBA9876543210ULL % t->bucketCount();
  for (u64 i = 0; i < 4; ++i) t->store(sameBucketKey(*t, base, i), 1, 0, 6, Exact, 0);
  t->store(sameBucketKey(*t, base, 4), 1, 0, 5, Exact, 0);
  EXPECT_FALSE(has(*t, sameBucketKey(*t, base, 4)));

  // Keys of distinct residues coexist, including keys above 2^63.
  std::vector<u64> keys;
  for (u64 i = 0; i < 3000; ++i)
    keys.push_back(0xF000000000000000ULL + i * 0x9E3779B97F4A7C15ULL % 100003);
  t->clear();
  for (u64 k : keys) t->store(k, static_cast<u32>(k), 0, 1, Exact, 0);
  int found = 0;
  for (u64 k : keys) {
    TTData d{};
    if (t->probe(k, d)) {
      ++found;
      EXPECT_EQ(d.move, static_cast<u32>(k));
    }
  }
  EXPECT_EQ(found, 3000);
}

TEST(TT, FailedResizeKeepsTableAndEntries) {
  auto t = makeTable(2);
  const u64 key = 0x0BADC0DE0BADC0DEULL;
  t->store(key, kMove, 77, 9, Lower, 0);
  t->newSearch();
  t->newSearch();
  const u64 count = t->bucketCount();

  const std::size_t absurd[] = {std::size_t{1} << 40, std::numeric_limits<std::size_t>::max(),
                                std::numeric_limits<std::size_t>::max() >> 20,
                                (std::numeric_limits<std::size_t>::max() >> 20) + 1};
  for (std::size_t mb : absurd) {
    EXPECT_FALSE(t->resize(mb)) << mb;
    EXPECT_EQ(t->bucketCount(), count);
    EXPECT_EQ(t->currentGeneration(), 2);
    TTData d = get(*t, key);
    EXPECT_EQ(d.move, kMove);
    EXPECT_EQ(d.score, 77);
    EXPECT_EQ(d.depth, 9);
    EXPECT_EQ(d.flag, Lower);
  }
  // Still fully usable.
  t->store(key + 1, kMove, 1, 1, Exact, 0);
  EXPECT_TRUE(has(*t, key + 1));
}

TEST(TT, SuccessfulResizeStartsEmptyAtGenerationZero) {
  auto t = makeTable(1);
  t->store(0x5, kMove, 1, 1, Exact, 0);
  t->newSearch();
  ASSERT_TRUE(t->resize(2));
  EXPECT_EQ(t->bucketCount(), 2u * 16384u);
  EXPECT_EQ(t->currentGeneration(), 0);
  EXPECT_FALSE(has(*t, 0x5));
  ASSERT_TRUE(t->resize(0));
  EXPECT_EQ(t->bucketCount(), 1u);
}

TEST(TT, ClearEmptiesEverythingAndResetsGeneration) {
  auto t = makeTable(1);
  for (u64 k = 1; k < 5000; ++k) t->store(k * 0x9E3779B97F4A7C15ULL, 1, 0, 3, Exact, 0);
  t->newSearch();
  t->clear();
  EXPECT_EQ(t->currentGeneration(), 0);
  for (u64 k = 1; k < 5000; ++k) EXPECT_FALSE(has(*t, k * 0x9E3779B97F4A7C15ULL));
}

TEST(TT, PrefaultKeepsEntriesOncePerAllocation) {
  auto t = makeTable(2);
  const u64 atPageStart = t->bucketCount() * 3;  // bucket 0, first entry: the page's first bytes
  t->store(atPageStart, kMove, 7, 5, Exact, 0);
  EXPECT_FALSE(t->pagesResident());
  t->prefault();
  EXPECT_TRUE(t->pagesResident());
  EXPECT_EQ(get(*t, atPageStart).score, 7);
  ASSERT_TRUE(t->resize(1));
  EXPECT_FALSE(t->pagesResident());
}

// Many writers and readers on a tiny table: whatever a probe accepts must be a complete entry
// written for that key, never halves of two writes.
TEST(TT, ConcurrentStoresNeverYieldTornEntries) {
  auto t = makeTable(0);  // one bucket: maximal contention
  auto dataFor = [](u64 key) { return static_cast<u32>(key * 0x2545F4914F6CDD1DULL >> 32); };
  std::atomic<bool> bad{false};
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&, w] {
      u64 x = 0x9E3779B97F4A7C15ULL * static_cast<u64>(w + 1);
      for (int i = 0; i < 100000; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        const u64 key = x % 64 + 1;  // a few keys, so probes often hit
        if (i & 1) {
          t->store(key, dataFor(key), static_cast<int>(key), static_cast<int>(key % 50), Exact, 0);
        } else {
          TTData d{};
          if (t->probe(key, d) && (d.move != dataFor(key) || d.score != static_cast<int>(key)))
            bad.store(true);
        }
      }
    });
  }
  for (auto& th : workers) th.join();
  EXPECT_FALSE(bad.load());
}

}  // namespace
