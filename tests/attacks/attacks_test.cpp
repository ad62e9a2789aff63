// Attack tables: leaper sets, line masks, and the magic lookups against the reference ray walk.
#include <gtest/gtest.h>

#include "attacks/attacks.h"
#include "support/squares.h"
#include "support/startup.h"

namespace {

using testsupport::sq;
using testsupport::squares;

const auto* const kStartUp = testsupport::startUp(Attacks::init);

TEST(AttacksTest, RookLookupOnEmptyAndBlockedBoards) {
  const u64 fileA = 0x0101010101010101ull, rank1 = 0xFFull;
  EXPECT_EQ(rookAttacks(sq("a1"), 0), (fileA | rank1) & ~bb(sq("a1")));
  EXPECT_EQ(popcount(rookAttacks(sq("a1"), 0)), 14);
  // Blockers are included, whatever their colour, and nothing beyond them.
  EXPECT_EQ(rookAttacks(sq("a1"), squares({"a4", "d1"})), squares({"a2", "a3", "a4", "b1", "c1", "d1"}));
  // Every square on the board sees 14 squares on an empty board.
  for (Square s = 0; s < 64; ++s) EXPECT_EQ(popcount(rookAttacks(s, 0)), 14) << s;
}

TEST(AttacksTest, BishopAndQueenLookups) {
  const u64 a = bishopAttacks(sq("d4"), squares({"f6"}));
  EXPECT_TRUE(a & bb(sq("e5")));
  EXPECT_TRUE(a & bb(sq("f6")));
  EXPECT_FALSE(a & bb(sq("g7")));
  EXPECT_EQ(popcount(bishopAttacks(sq("d4"), 0)), 13);
  EXPECT_EQ(popcount(bishopAttacks(sq("a1"), 0)), 7);
  // A fully surrounded queen sees exactly its eight neighbours.
  EXPECT_EQ(queenAttacks(sq("e4"), ~0ull), Attacks::kingAttacks[sq("e4")]);
}

TEST(AttacksTest, PawnAttacksRespectEdgesAndLastRanks) {
  EXPECT_EQ(Attacks::pawnAttacks[White][sq("h2")], squares({"g3"}));
  EXPECT_EQ(Attacks::pawnAttacks[Black][sq("a7")], squares({"b6"}));
  EXPECT_EQ(Attacks::pawnAttacks[White][sq("e8")], 0u);
  EXPECT_EQ(Attacks::pawnAttacks[Black][sq("e1")], 0u);
  EXPECT_EQ(Attacks::pawnAttacks[White][sq("e4")], squares({"d5", "f5"}));
  EXPECT_EQ(Attacks::pawnAttacks[Black][sq("e4")], squares({"d3", "f3"}));
  // Read backwards: the black pawns that attack e4 stand where a white pawn on e4 would attack.
  EXPECT_EQ(Attacks::pawnAttacks[White][sq("a2")], squares({"b3"}));
}

TEST(AttacksTest, LeaperSetsDoNotWrapAroundTheBoard) {
  EXPECT_EQ(Attacks::knightAttacks[sq("a1")], squares({"b3", "c2"}));
  EXPECT_EQ(Attacks::knightAttacks[sq("h8")], squares({"g6", "f7"}));
  EXPECT_EQ(Attacks::kingAttacks[sq("h1")], squares({"g1", "g2", "h2"}));
  EXPECT_EQ(popcount(Attacks::knightAttacks[sq("d4")]), 8);
  int knightTotal = 0, kingTotal = 0;
  for (Square s = 0; s < 64; ++s) {
    knightTotal += popcount(Attacks::knightAttacks[s]);
    kingTotal += popcount(Attacks::kingAttacks[s]);
  }
  EXPECT_EQ(knightTotal, 336);
  EXPECT_EQ(kingTotal, 420);
}

TEST(AttacksTest, LineMasksExcludeTheSquareAndReachTheEdges) {
  EXPECT_EQ(Attacks::rankMask[sq("c3")], 0xFFull << 16 & ~bb(sq("c3")));
  EXPECT_EQ(Attacks::fileMask[sq("c3")], 0x0404040404040404ull & ~bb(sq("c3")));
  EXPECT_EQ(Attacks::diagMask[sq("c3")], squares({"a1", "b2", "d4", "e5", "f6", "g7", "h8"}));
  EXPECT_EQ(Attacks::adiagMask[sq("c3")], squares({"a5", "b4", "d2", "e1"}));
  EXPECT_EQ(Attacks::adiagMask[sq("a1")], 0u);
  for (Square s = 0; s < 64; ++s) {
    EXPECT_EQ(Attacks::rankMask[s] | Attacks::fileMask[s], rookAttacks(s, 0)) << s;
    EXPECT_EQ(Attacks::diagMask[s] | Attacks::adiagMask[s], bishopAttacks(s, 0)) << s;
  }
}

TEST(AttacksTest, RelevantMasksAndTableLayout) {
  u64 rookEntries = 0, bishopEntries = 0;
  for (Square s = 0; s < 64; ++s) {
    const bool corner = s == 0 || s == 7 || s == 56 || s == 63;
    const bool edge = fileOf(s) == 0 || fileOf(s) == 7 || rankOf(s) == 0 || rankOf(s) == 7;
    const int rookBits = popcount(Attacks::rookMagic[s].mask);
    EXPECT_EQ(rookBits, corner ? 12 : edge ? 11 : 10) << s;
    const int bishopBits = popcount(Attacks::bishopMagic[s].mask);
    EXPECT_GE(bishopBits, 5);
    EXPECT_LE(bishopBits, 9);
    EXPECT_EQ(Attacks::rookMagic[s].mask, Attacks::relevantMask(s, true));
    EXPECT_EQ(Attacks::bishopMagic[s].mask, Attacks::relevantMask(s, false));
    EXPECT_EQ(Attacks::rookMagic[s].shift, 64u - rookBits);
    EXPECT_EQ(Attacks::bishopMagic[s].shift, 64u - bishopBits);
    EXPECT_EQ(Attacks::rookMagic[s].magic, Attacks::kRookMagic[s]);
    EXPECT_EQ(Attacks::bishopMagic[s].magic, Attacks::kBishopMagic[s]);
    // Squares own consecutive slices, a1 to h8.
    EXPECT_EQ(Attacks::rookMagic[s].attacks, Attacks::gRookTable + rookEntries);
    EXPECT_EQ(Attacks::bishopMagic[s].attacks, Attacks::gBishopTable + bishopEntries);
    rookEntries += u64{1} << rookBits;
    bishopEntries += u64{1} << bishopBits;
  }
  EXPECT_EQ(rookEntries, 102400u);
  EXPECT_EQ(bishopEntries, 5248u);
  // The mask leaves out the board edge at the end of each ray.
  EXPECT_EQ(Attacks::relevantMask(sq("a1"), true), (0x0101010101010101ull | 0xFFull) & ~squares({"a1", "a8", "h1"}));
  EXPECT_EQ(Attacks::relevantMask(sq("d4"), false),
            squares({"b2", "c3", "e5", "f6", "g7", "c5", "b6", "e3", "f2"}));
}

TEST(AttacksTest, ReferenceWalkStopsAtTheFirstBlocker) {
  EXPECT_EQ(Attacks::slidingAttacksRef(sq("d4"), squares({"d6", "d7", "b4"}), true) & (0x0808080808080808ull | 0xFFull << 24),
            squares({"d5", "d6", "d3", "d2", "d1", "c4", "b4", "e4", "f4", "g4", "h4"}));
  EXPECT_EQ(Attacks::slidingAttacksRef(sq("h8"), squares({"g7"}), false), squares({"g7"}));
}

// The stored multipliers must map every subset of every mask without a destructive collision:
// checking all of them (about 110,000 occupancies) proves the tables, not just samples of them.
TEST(AttacksTest, EveryMaskSubsetMatchesTheReferenceWalk) {
  u64 extra = 0x9e3779b97f4a7c15ull;  // arbitrary stream for the outside-the-mask bits
  for (const bool rook : {true, false}) {
    for (Square s = 0; s < 64; ++s) {
      const u64 mask = Attacks::relevantMask(s, rook);
      int failures = 0;
      // Carry-rippler enumeration visits each subset of the mask exactly once.
      u64 subset = 0;
      do {
        const u64 expected = Attacks::slidingAttacksRef(s, subset, rook);
        extra = extra * 6364136223846793005ull + 1442695040888963407ull;
        const u64 noisy = subset | (extra & ~mask & ~bb(s));
        // The lookup in use (pext where built with it) and the magic tables behind it.
        for (const u64 occ : {subset, noisy}) {
          failures += (rook ? rookAttacks(s, occ) : bishopAttacks(s, occ)) != expected;
          failures += (rook ? magicRookAttacks(s, occ) : magicBishopAttacks(s, occ)) != expected;
        }
        subset = (subset - mask) & mask;
      } while (subset != 0);
      EXPECT_EQ(failures, 0) << (rook ? "rook" : "bishop") << " square " << s;
    }
  }
}

}  // namespace
