// Properties checked over every position of seeded random legal walks: generator/isPseudoLegal
// agreement over all 16-bit values, captures+quiets = all moves, exact make/unmake restoration,
// incremental keys and sums equal to their from-scratch values, quietGivesCheck against make.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "movegen/movegen.h"
#include "support/boards.h"
#include "support/random_walk.h"
#include "test_env.h"

namespace {

constexpr std::uint64_t kSeed = 20240611;
constexpr int kPlies = 48;

std::vector<Move> sorted(const MoveList& list) {
  std::vector<Move> v(list.begin(), list.end());
  std::sort(v.begin(), v.end());
  return v;
}

// Keys and incremental sums must match a fresh setFen of the same position.
void expectFromScratch(const Board& b, Board& scratch) {
  const std::string fen = b.fen();
  SCOPED_TRACE(fen);
  ASSERT_TRUE(scratch.setFen(fen));
  EXPECT_EQ(b.key, scratch.key);
  EXPECT_EQ(b.pawnKey, scratch.pawnKey);
  EXPECT_EQ(b.pawnKey, b.computePawnKey());
  EXPECT_EQ(b.psqMg, scratch.psqMg);
  EXPECT_EQ(b.psqEg, scratch.psqEg);
  EXPECT_EQ(b.nonPawnMaterial[White], scratch.nonPawnMaterial[White]);
  EXPECT_EQ(b.nonPawnMaterial[Black], scratch.nonPawnMaterial[Black]);
  EXPECT_EQ(b.phase, scratch.phase);
  EXPECT_EQ(b.epSquare, scratch.epSquare);
  EXPECT_EQ(b.castlingRights, scratch.castlingRights);
}

TEST(WalkProperties, IsPseudoLegalMatchesGenerateMovesForAllValues) {
  int positions = 0;
  int flagsSeen[16] = {};
  testsupport::randomWalks(kSeed, kPlies, [&](const Board& b) {
    MoveList list;
    generateMoves(b, list);
    std::vector<char> generated(65536, 0);
    for (Move m : list) {
      ++flagsSeen[moveFlag(m)];
      ASSERT_LT(m, 65536u);
      ASSERT_EQ(generated[m], 0) << "duplicate " << moveToString(m) << " in " << b.fen();
      generated[m] = 1;
    }
    for (u32 v = 0; v < 65536; ++v)
      ASSERT_EQ(b.isPseudoLegal(v), generated[v] != 0)
          << moveToString(v) << " flag " << moveFlag(v) << " in " << b.fen();
    ++positions;
  });
  EXPECT_GT(positions, 300);
  // The walks must reach every kind of move, or the agreement above proves little.
  for (u32 f = 0; f < 16; ++f) {
    if (f == 6 || f == 7) continue;
    EXPECT_GT(flagsSeen[f], 0) << "flag " << f << " never generated";
  }
}

TEST(WalkProperties, CapturesThenQuietsEqualAllMoves) {
  testsupport::randomWalks(kSeed + 1, kPlies, [&](const Board& b) {
    MoveList all, split, caps, quiets;
    generateMoves(b, all);
    generateCaptures(b, split);
    generateCaptures(b, caps);
    const int nCaps = split.size;
    generateQuiets(b, split);
    generateQuiets(b, quiets);
    ASSERT_EQ(sorted(all), sorted(split)) << b.fen();
    for (int i = 0; i < caps.size; ++i) {
      ASSERT_FALSE(isQuietMove(caps.moves[i])) << b.fen();
      ASSERT_EQ(caps.moves[i], split.moves[i]);
    }
    for (int i = 0; i < quiets.size; ++i) {
      ASSERT_TRUE(isQuietMove(quiets.moves[i])) << b.fen();
      ASSERT_EQ(quiets.moves[i], split.moves[nCaps + i]);
    }
  });
}

TEST(WalkProperties, MakeUnmakeRestoresAndKeysMatchFromScratch) {
  auto before = std::make_unique<Board>();
  auto scratch = std::make_unique<Board>();
  int moves = 0;
  testsupport::randomWalks(kSeed + 2, kPlies, [&](Board& b) {
    expectFromScratch(b, *scratch);
    MoveList list;
    generateMoves(b, list);
    *before = b;
    for (Move m : list) {
      const Color us = b.side;
      b.makeMove(m);
      ASSERT_EQ(b.historySize, before->historySize + 1);
      if (!b.isAttacked(b.kingSquare(us), us ^ 1)) expectFromScratch(b, *scratch);
      b.unmakeMove(m);
      SCOPED_TRACE(moveToString(m) + " flag " + std::to_string(moveFlag(m)) + " in " + b.fen());
      testsupport::expectSameBoard(b, *before);
      ++moves;
    }
  });
  EXPECT_GT(moves, 5000);
}

TEST(WalkProperties, LegalMovesAreThePseudoLegalOnesThatPassIsLegal) {
  testsupport::randomWalks(kSeed + 3, kPlies, [&](Board& b) {
    MoveList pseudo, legal;
    generateMoves(b, pseudo);
    generateLegalMoves(b, legal);
    MoveList expected;
    for (Move m : pseudo)
      if (b.isLegal(m)) expected.add(m);
    ASSERT_EQ(std::vector<Move>(legal.begin(), legal.end()), std::vector<Move>(expected.begin(), expected.end()))
        << b.fen();
  });
}

TEST(WalkProperties, QuietGivesCheckAgreesWithMakingTheMove) {
  auto kingOnly = std::make_unique<Board>();
  int checks = 0;
  testsupport::randomWalks(kSeed + 4, kPlies, [&](Board& b) {
    MoveList quiets;
    generateQuiets(b, quiets);
    for (Move m : quiets) {
      bool expected;
      if (isCastling(m)) {
        // Castling reports only what the king's own move does, never the rook's check.
        *kingOnly = b;
        kingOnly->movePiece(b.side, King, moveFrom(m), moveTo(m));
        expected = kingOnly->isAttacked(kingOnly->kingSquare(b.side ^ 1), b.side);
      } else {
        b.makeMove(m);
        expected = b.inCheck();
        b.unmakeMove(m);
      }
      ASSERT_EQ(b.quietGivesCheck(m), expected) << moveToString(m) << " in " << b.fen();
      checks += expected;
    }
  });
  EXPECT_GT(checks, 20);
}

}  // namespace
