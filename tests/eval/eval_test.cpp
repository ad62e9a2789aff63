// The evaluation function: symmetry, individual terms on constructed positions, fifty-move damping.
#include "eval/eval.h"

#include <set>

#include "eval/pins.h"
#include "eval_test_env.h"
#include "support/positions.h"
#include "support/random_walk.h"

using namespace evaltest;

namespace {

using testsupport::sq;

TEST(Evaluate, InitialPositionIsZeroFromBothSides) {
  EXPECT_EQ(evalFen(kStartFen), 0);
  EXPECT_EQ(evalFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1"), 0);
  const EvalBreakdown e = breakdownOf(kStartFen);
  EXPECT_EQ(e.total, (ScorePair{0, 0}));
  EXPECT_EQ(e.phase, 24);
  EXPECT_EQ(e.scale, 64);
}

TEST(Evaluate, ResultMatchesBreakdownAndSideToMove) {
  const char* fen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3";
  const EvalBreakdown e = breakdownOf(fen);
  EXPECT_EQ(evalFen(fen), e.result);
  EXPECT_EQ(e.result, e.white);
  EXPECT_EQ(e.total, e.material + e.king + e.bishopPair + e.mobility + e.kingSafety + e.rooks + e.pawns);
  EXPECT_EQ(e.kingSafety.eg, 0);
}

// Knight d2 pinned against Ke1 by Bb4: its middlegame mobility is the zero-square entry, yet its
// attack on e4 still counts against the Black king on e5 and in the attack map.
TEST(Evaluate, PinnedKnightCountsNoMobilityButFullAttacks) {
  const char* fen = "8/8/8/4k3/1b6/8/3N4/4K3 w - - 0 1";
  auto b = boardFrom(fen);
  u64 pinned = 0, ray[64];
  computeAbsolutePins(*b, White, pinned, ray);
  EXPECT_EQ(pinned, bb(sq("d2")));
  EXPECT_EQ(ray[sq("d2")], bb(sq("d2")) | bb(sq("c3")) | bb(sq("b4")));
  computeAbsolutePins(*b, Black, pinned, ray);
  EXPECT_EQ(pinned, 0u);

  EvalBreakdown e;
  evalBreakdown(*b, e);
  // Knight: kMobilityMg[Knight][0] = -24, endgame row 0. Black bishop b4 sees 8 squares:
  // (-20 + 32, -35 + 56) = (12, 21) subtracted.
  EXPECT_EQ(e.mobility, (ScorePair{-24 - 12, 0 - 21}));
  // Danger to Black: knight near the ring, 2 units and 40 weight -> 4 + 8. Danger to White: the
  // bishop hits d2 in the ring, 2 units and 50 -> 4 + 10. Both kings on the e-file: no shelter.
  EXPECT_EQ(e.kingSafety.mg, 12 - 14);

  // Unpinned (bishop on h4 instead), the same knight counts its six squares; the bishop still
  // reaches the White king on e1, and the knight's tally is unchanged.
  EvalBreakdown free;
  evalBreakdown(*boardFrom("8/8/8/4k3/7b/8/3N4/4K3 w - - 0 1"), free);
  EXPECT_EQ(free.kingSafety.mg, 12 - 14);
  // Bishop h4: g5 f6 e7 d8 g3 f2 e1(x) -> g5 f6 e7 d8 g3 f2 e1 = 7 counted squares.
  EXPECT_EQ(free.mobility, (ScorePair{(-24 + 36) - (-20 + 28), 0 - (-35 + 49)}));
}

TEST(Evaluate, ShelterOfACastledKing) {
  // g1 behind f2, g2, h2: three shielded files, no open file: +30.
  EXPECT_EQ(breakdownOf("4k3/8/8/8/8/8/5PPP/6K1 w - - 0 1").kingSafety.mg, 30);
  // Only h2: one shielded file, f and g open: 10 - 62.
  EXPECT_EQ(breakdownOf("4k3/8/8/8/8/8/7P/6K1 w - - 0 1").kingSafety.mg, -52);
  // Pawns too far advanced do not shield (h4 is three ranks ahead), but the file is not open.
  EXPECT_EQ(breakdownOf("4k3/8/8/8/7P/8/5PP1/6K1 w - - 0 1").kingSafety.mg, 20);
  // Mirrored for Black: the term is subtracted.
  EXPECT_EQ(breakdownOf("6k1/5ppp/8/8/8/8/8/4K3 b - - 0 1").kingSafety.mg, -30);
}

TEST(Evaluate, CentralKingsHaveNoShelter) {
  for (const char* fen : {"4k3/8/8/8/8/8/5PPP/3K4 w - - 0 1", "4k3/8/8/8/8/8/5PPP/4K3 w - - 0 1",
                          "4k3/8/8/8/8/8/5PPP/5K2 w - - 0 1", "4k3/8/8/8/8/8/8/5K2 w - - 0 1"}) {
    EXPECT_EQ(breakdownOf(fen).kingSafety.mg, 0) << fen;
  }
}

TEST(Evaluate, BishopPairCountsOnlyTheNumber) {
  // c1 and e3 are both dark squares: still a pair.
  EXPECT_EQ(breakdownOf("4k3/8/8/8/8/4B3/8/2B1K3 w - - 0 1").bishopPair, (ScorePair{56, 56}));
  EXPECT_EQ(breakdownOf("4k3/8/8/8/8/8/8/2B1KB2 w - - 0 1").bishopPair, (ScorePair{56, 56}));
  EXPECT_EQ(breakdownOf("2b1kb2/8/8/8/8/8/8/2B1KB2 w - - 0 1").bishopPair, (ScorePair{0, 0}));
  EXPECT_EQ(breakdownOf("2b1kb2/8/8/8/8/8/8/4KB2 w - - 0 1").bishopPair, (ScorePair{-56, -56}));
  EXPECT_EQ(breakdownOf("4k3/8/8/8/8/8/8/4KB2 w - - 0 1").bishopPair, (ScorePair{0, 0}));
}

TEST(Evaluate, RookFiles) {
  EXPECT_EQ(breakdownOf("4k3/8/8/8/8/8/8/R3K3 w - - 0 1").rooks, (ScorePair{51, -3}));
  EXPECT_EQ(breakdownOf("4k3/p7/8/8/8/8/8/R3K3 w - - 0 1").rooks, (ScorePair{20, 24}));
  EXPECT_EQ(breakdownOf("4k3/p7/8/8/8/8/P7/R3K3 w - - 0 1").rooks, (ScorePair{0, 0}));
  // An own pawn behind the rook still closes the file.
  EXPECT_EQ(breakdownOf("4k3/8/8/8/R7/8/P7/4K3 w - - 0 1").rooks, (ScorePair{0, 0}));
  EXPECT_EQ(breakdownOf("r3k3/8/8/8/8/8/P7/4K3 w - - 0 1").rooks, (ScorePair{-20, -24}));
}

// K+R against K, Black to move: every term worked out by hand.
TEST(Evaluate, RookEndingByHand) {
  const EvalBreakdown e = breakdownOf(kRookEnding);
  EXPECT_EQ(e.material, (ScorePair{493 - 12, 635 - 12}));
  EXPECT_EQ(e.king, (ScorePair{0, 5 * (14 - 7) + 10 * 3}));
  EXPECT_EQ(e.mobility, (ScorePair{-30 + 5 * 10, -24 + 4 * 10}));
  EXPECT_EQ(e.kingSafety, (ScorePair{0, 0}));
  EXPECT_EQ(e.rooks, (ScorePair{51, -3}));
  EXPECT_EQ(e.pawns, (ScorePair{0, 0}));
  EXPECT_EQ(e.total, (ScorePair{552, 701}));
  EXPECT_EQ(e.phase, 2);
  EXPECT_EQ(e.scale, 64);
  EXPECT_EQ(e.white, (552 * 2 + 701 * 22) / 24);
  EXPECT_EQ(e.result, -e.white);
}

// Mobility is summed as packed pairs: a half that goes negative must not leak into the other.
TEST(Evaluate, PackedPairsAddLikeTheirHalves) {
  const ScorePair cases[][2] = {{{3, -5}, {-7, 2}}, {{-1, -1}, {-2, -3}}, {{100000, -100000}, {-200000, 50}}};
  for (const auto& c : cases) {
    EXPECT_EQ(unpackPair(packPair(c[0].mg, c[0].eg) + packPair(c[1].mg, c[1].eg)), c[0] + c[1]);
    EXPECT_EQ(unpackPair(packPair(c[0].mg, c[0].eg) - packPair(c[1].mg, c[1].eg)), c[0] - c[1]);
  }
}

TEST(Evaluate, PhaseIsCappedAt24) {
  // Three queens a side after promotions: phase sum 32.
  const EvalBreakdown e = breakdownOf("qqqqk3/8/8/8/8/8/8/QQQQK3 w - - 0 1");
  EXPECT_EQ(e.phase, 24);
}

TEST(Evaluate, HalfmoveClockDampsTowardZeroInTwoTruncatingSteps) {
  const char* fens[] = {"r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 0 3",
                        kRookEnding, "6k1/5ppp/8/8/8/8/5PPP/3R2K1 b - - 0 1",
                        "r5k1/5ppp/8/8/8/8/5PPP/6K1 w - - 0 1"};
  for (const char* fen : fens) {
    auto b = boardFrom(fen);
    EvalBreakdown e0;
    evalBreakdown(*b, e0);
    ASSERT_NE(e0.white, 0) << fen;
    for (int clock = 0; clock <= 255; ++clock) {
      b->halfmoveClock = static_cast<u8>(clock);
      EvalBreakdown e;
      evalBreakdown(*b, e);
      // Identical blend, then the damping with the clock capped at 200.
      const int capped = clock < 200 ? clock : 200;
      ASSERT_EQ(e.white, e0.white * (200 - capped) / 200) << fen << " clock " << clock;
      // Never a sign flip, and nothing left from 200 on.
      ASSERT_TRUE(e.white == 0 || (e.white > 0) == (e0.white > 0));
      if (clock >= 200) {
        ASSERT_EQ(e.white, 0);
      }
      ASSERT_EQ(evaluate(*b), b->side == White ? e.white : -e.white);
    }
    b->halfmoveClock = 100;
    EXPECT_EQ(evaluate(*b), (b->side == White ? 1 : -1) * (e0.white * 100 / 200));
  }
}

TEST(Evaluate, HalfmoveClockFromFenHalvesTheValue) {
  const int v0 = breakdownOf("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 80").white;
  const int v100 = breakdownOf("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 100 80").white;
  EXPECT_EQ(v100, v0 * 100 / 200);
  EXPECT_EQ(v100, v0 / 2);
}

TEST(Evaluate, ColourFlipGivesTheSameValueOverRandomWalks) {
  std::set<int> distinct;
  int positions = 0;
  for (std::uint64_t seed : {1ULL, 7ULL, 2024ULL}) {
    testsupport::randomWalks(seed, 160, [&](const Board& b) {
      const std::string fen = b.fen();
      const std::string flipped = colourFlippedFen(fen);
      ASSERT_EQ(colourFlippedFen(flipped), fen);
      auto f = boardFrom(flipped);
      ASSERT_EQ(f->fen(), flipped);
      EvalBreakdown e, g;
      evalBreakdown(b, e);
      evalBreakdown(*f, g);
      ASSERT_EQ(e.result, g.result) << fen << "\n" << flipped;
      ASSERT_EQ(e.white, -g.white);
      ASSERT_EQ(e.total, (ScorePair{-g.total.mg, -g.total.eg})) << fen;
      ASSERT_EQ(e.scale, g.scale) << fen;
      ASSERT_EQ(evaluate(b), e.result);
      distinct.insert(e.result);
      ++positions;
    });
  }
  EXPECT_GT(positions, 3000);
  EXPECT_GT(distinct.size(), 500u);  // the walks really vary the evaluation
}

TEST(Evaluate, AbsolutePinsAgreeWithALegalityView) {
  // A pinned piece moving off the line exposes its king; a piece not flagged never does.
  testsupport::randomWalks(99, 120, [&](Board& b) {
    for (Color us = White; us <= Black; ++us) {
      u64 pinned = 0, ray[64];
      computeAbsolutePins(b, us, pinned, ray);
      const Square k = b.kingSquare(us);
      const u64* e = b.pieces[us ^ 1];
      auto seers = [&](u64 occ) {
        return (bishopAttacks(k, occ) & (e[Bishop] | e[Queen])) | (rookAttacks(k, occ) & (e[Rook] | e[Queen]));
      };
      for (u64 x = b.byColor[us] & ~bb(k); x;) {
        const Square s = popLsb(x);
        // Lift the piece: does an enemy slider now see the king?
        const u64 revealed = seers(b.occupied & ~bb(s)) & ~seers(b.occupied);
        ASSERT_EQ(revealed != 0, (pinned & bb(s)) != 0) << b.fen() << " square " << s;
        if (revealed) {
          const Square pinner = lsb(revealed) & 63;  // the mask only quiets range analysis
          ASSERT_EQ(ray[s], gBetweenBB[k][pinner] | bb(pinner));
        }
      }
    }
  });
}

}  // namespace
