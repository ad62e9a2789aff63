// Static exchange: threshold answers, the bisected value, x-rays and the king as last attacker.
#include "movegen/see.h"

#include <gtest/gtest.h>

#include "test_env.h"

namespace {

using testsupport::boardFrom;
using testsupport::mv;

// The value see() reports, and seeGE passing exactly up to it.
TEST(See, ExchangeValues) {
  const struct {
    const char* fen;
    Move move;
    int value;
    const char* why;
  } cases[] = {
      {"4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", mv("e4", "d5", kFlagCapture), 320,
       "pawn takes a lone knight"},
      {"4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1", mv("d1", "d5", kFlagCapture), -800,
       "queen takes a defended pawn"},
      {"4k3/8/8/3p4/8/8/3N4/4K3 w - - 0 1", mv("d2", "c4", kFlagQuiet), -320,
       "quiet move onto a pawn's square"},
      {"4k3/8/8/3p4/8/8/3N4/4K3 w - - 0 1", mv("d2", "f3", kFlagQuiet), 0,
       "quiet move to a safe square"},
      // Rd2xd7 Rd8xd7 Rd1xd7: the d1 rook only sees d7 once d2 has left; without it, rooks trade.
      {"3r2k1/3r4/8/8/8/8/3R4/3R2K1 w - - 0 1", mv("d2", "d7", kFlagCapture), 500, "x-ray rook"},
      {"3r2k1/3r4/8/8/8/8/3R4/6K1 w - - 0 1", mv("d2", "d7", kFlagCapture), 0, "single rook"},
      // Nxd5 Rd7xd5 Bb3xd5 Qd8xd5: the queen joins once the rook in front of her has gone, turning
      // +100 (black would not recapture) into -50.
      {"3q3k/3r4/8/3p4/8/1BN5/8/6K1 w - - 0 1", mv("c3", "d5", kFlagCapture), -50, "x-ray queen"},
      // Nxd5 c6xd5 Rd1xd5 Bb7xd5: the bishop sees d5 only after the c6 pawn has recaptured (the
      // rook's capture in between looks along files and ranks only).
      {"7k/1b6/2p5/3p4/8/2N5/8/3R2K1 w - - 0 1", mv("c3", "d5", kFlagCapture), -220,
       "x-ray bishop"},
      // Bb3xd5 Nf6xd5 Ba2xd5: +100 - 330 + 320; without the a2 bishop 100 - 330.
      {"4k3/8/5n2/3p4/8/1B6/B7/4K3 w - - 0 1", mv("b3", "d5", kFlagCapture), 90, "diagonal x-ray"},
      {"4k3/8/5n2/3p4/8/1B6/8/4K3 w - - 0 1", mv("b3", "d5", kFlagCapture), -230, "lone bishop"},
      // Rd1xd5: the king may not take back while the a2 bishop covers d5; without it, it does.
      {"8/8/4k3/3p4/8/8/B7/3RK3 w - - 0 1", mv("d1", "d5", kFlagCapture), 100,
       "king cannot recapture"},
      {"8/8/4k3/3p4/8/8/8/3RK3 w - - 0 1", mv("d1", "d5", kFlagCapture), -400, "king recaptures"},
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", mv("e5", "d6", kFlagEnPassant), 100, "en passant"},
      {"4k3/2p5/8/3pP3/8/8/8/4K3 w - d6 0 1", mv("e5", "d6", kFlagEnPassant), 0,
       "en passant, c7 recaptures"},
      // The d1 rook sees d6 only once the capture has removed the d5 pawn.
      {"4k3/8/8/3pP3/8/8/8/3rK3 w - d6 0 1", mv("e5", "d6", kFlagEnPassant), 0,
       "en passant opens the file"},
      {"4k3/8/8/3q4/4P3/8/8/4K3 w - - 0 1", mv("e4", "d5", kFlagCapture), 900,
       "pawn takes a lone queen"},
  };
  for (const auto& c : cases) {
    const auto b = boardFrom(c.fen);
    EXPECT_EQ(see(*b, c.move), c.value) << c.why;
    EXPECT_TRUE(seeGE(*b, c.move, c.value)) << c.why;
    EXPECT_FALSE(seeGE(*b, c.move, c.value + 1)) << c.why;
    EXPECT_TRUE(seeGE(*b, c.move, -5000)) << c.why;
  }
}

TEST(See, PromotionsIgnoreTheBoard) {
  // Pushing into a square covered by a rook, and capturing a queen: both count as break-even.
  const auto b = boardFrom("1q2k3/P7/8/8/8/8/8/r3K3 w - - 0 1");
  for (Move m : {mv("a7", "a8", kFlagPromoQueen), mv("a7", "a8", kFlagPromoKnight),
                 mv("a7", "b8", kFlagPromoCaptureQueen), mv("a7", "b8", kFlagPromoCaptureRook)}) {
    EXPECT_TRUE(seeGE(*b, m, 0));
    EXPECT_TRUE(seeGE(*b, m, -1));
    EXPECT_FALSE(seeGE(*b, m, 1));
    EXPECT_EQ(see(*b, m), 0);
  }
}

TEST(See, KingCapturesDefendedPieceLosesEverything) {
  // The king itself takes a defended pawn: the step-5 value of a king makes it fail at once.
  const auto b = boardFrom("8/8/8/2p5/3p4/4K3/8/7k w - - 0 1");
  EXPECT_FALSE(seeGE(*b, mv("e3", "d4", kFlagCapture), 0));
  EXPECT_TRUE(seeGE(*b, mv("e3", "d4", kFlagCapture), -10000 + 100));
}

TEST(See, LossesAreClampedToEighteenHundred) {
  EXPECT_EQ(see(*boardFrom("4k3/8/8/8/8/2p5/8/1Q2K3 w - - 0 1"), mv("b1", "b2", kFlagQuiet)), -900);
  EXPECT_EQ(see(*boardFrom("4k3/8/8/8/8/2p5/8/1K6 w - - 0 1"), mv("b1", "b2", kFlagQuiet)), -1800);
}

}  // namespace
