// Static exchange: threshold answers, the bisected value, x-rays and the king as last attacker.
#include <gtest/gtest.h>

#include "movegen/see.h"
#include "test_env.h"

namespace {

using movegentest::at;
using testsupport::mv;
using testsupport::sq;

// The largest passing threshold must be the value see() reports.
void expectValue(const Board& b, Move m, int value) {
  EXPECT_EQ(see(b, m), value);
  EXPECT_TRUE(seeGE(b, m, value));
  EXPECT_FALSE(seeGE(b, m, value + 1));
}

TEST(See, Values) {
  EXPECT_EQ(SEE::kValue[Pawn], 100);
  EXPECT_EQ(SEE::kValue[Knight], 320);
  EXPECT_EQ(SEE::kValue[Bishop], 330);
  EXPECT_EQ(SEE::kValue[Rook], 500);
  EXPECT_EQ(SEE::kValue[Queen], 900);
  EXPECT_EQ(SEE::kValue[King], 10000);
  EXPECT_EQ(SEE::kValue[NoPiece], 0);
}

TEST(See, PawnTakesUndefendedKnight) {
  const Board b = at("4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1");
  const Move m = mv("e4", "d5", kFlagCapture);
  EXPECT_TRUE(seeGE(b, m, 320));
  EXPECT_TRUE(seeGE(b, m, -5000));
  EXPECT_FALSE(seeGE(b, m, 321));
  expectValue(b, m, 320);
}

TEST(See, QueenTakesPawnDefendedByPawn) {
  const Board b = at("4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1");
  const Move m = mv("d1", "d5", kFlagCapture);
  EXPECT_FALSE(seeGE(b, m, 0));
  expectValue(b, m, -800);
}

TEST(See, PromotionsIgnoreTheBoard) {
  // Pushing into a square covered by a rook, and capturing a queen: both count as break-even.
  const Board b = at("1q2k3/P7/8/8/8/8/8/r3K3 w - - 0 1");
  for (Move m : {mv("a7", "a8", kFlagPromoQueen), mv("a7", "a8", kFlagPromoKnight),
                 mv("a7", "b8", kFlagPromoCaptureQueen), mv("a7", "b8", kFlagPromoCaptureRook)}) {
    EXPECT_TRUE(seeGE(b, m, 0));
    EXPECT_TRUE(seeGE(b, m, -1));
    EXPECT_FALSE(seeGE(b, m, 1));
    EXPECT_EQ(see(b, m), 0);
  }
}

TEST(See, QuietMoveOntoASquareHeldByAPawn) {
  const Board b = at("4k3/8/8/3p4/8/8/3N4/4K3 w - - 0 1");
  const Move m = mv("d2", "c4", kFlagQuiet);
  EXPECT_FALSE(seeGE(b, m, 0));
  expectValue(b, m, -320);
  // A quiet move to a safe square is worth 0.
  expectValue(b, mv("d2", "f3", kFlagQuiet), 0);
}

TEST(See, XRayRookJoinsBehindTheFirst) {
  // Rd2xd7 Rd8xd7 Rd1xd7: the d1 rook only sees d7 once d2 has left.
  const Board b = at("3r2k1/3r4/8/8/8/8/3R4/3R2K1 w - - 0 1");
  expectValue(b, mv("d2", "d7", kFlagCapture), 500);
  // Without the rook behind, the exchange just trades rooks.
  const Board single = at("3r2k1/3r4/8/8/8/8/3R4/6K1 w - - 0 1");
  expectValue(single, mv("d2", "d7", kFlagCapture), 0);
}

TEST(See, XRayQueenBehindARecapturingRook) {
  // Nxd5 Rd7xd5 Bb3xd5 Qd8xd5: the queen joins only once the rook in front of her has gone, and her
  // recapture turns the exchange from +100 (black would not recapture) into -50.
  const Board b = at("3q3k/3r4/8/3p4/8/1BN5/8/6K1 w - - 0 1");
  expectValue(b, mv("c3", "d5", kFlagCapture), -50);
}

TEST(See, XRayBishopBehindARecapturingPawn) {
  // Nxd5 c6xd5 Rd1xd5 Bb7xd5: the b7 bishop sees d5 only after the c6 pawn has recaptured (the rook's
  // capture in between looks along files and ranks only).
  const Board b = at("7k/1b6/2p5/3p4/8/2N5/8/3R2K1 w - - 0 1");
  expectValue(b, mv("c3", "d5", kFlagCapture), -220);
}

TEST(See, DiagonalXRayThroughTheFirstCapturer) {
  // White bishops b3 and a2 on one diagonal against a pawn on d5 defended by a black knight on f6:
  // Bb3xd5 Nf6xd5 Ba2xd5 -> +100 - 330 + 320 = 90.
  const Board b = at("4k3/8/5n2/3p4/8/1B6/B7/4K3 w - - 0 1");
  expectValue(b, mv("b3", "d5", kFlagCapture), 90);
  // Without the a2 bishop, black's knight wins the bishop for the pawn: 100 - 330.
  const Board lone = at("4k3/8/5n2/3p4/8/1B6/8/4K3 w - - 0 1");
  expectValue(lone, mv("b3", "d5", kFlagCapture), -230);
}

TEST(See, KingAsLastAttackerCannotRecaptureIntoAttack) {
  // Rd1xd5, the black king may not take back because the a2 bishop also covers d5.
  const Board guarded = at("8/8/4k3/3p4/8/8/B7/3RK3 w - - 0 1");
  expectValue(guarded, mv("d1", "d5", kFlagCapture), 100);
  // Without the bishop the king takes the rook.
  const Board bare = at("8/8/4k3/3p4/8/8/8/3RK3 w - - 0 1");
  expectValue(bare, mv("d1", "d5", kFlagCapture), -400);
}

TEST(See, KingCapturesDefendedPieceLosesEverything) {
  // The king itself takes a defended pawn: the step-5 value of a king makes it fail at once.
  const Board b = at("8/8/8/2p5/3p4/4K3/8/7k w - - 0 1");
  EXPECT_FALSE(seeGE(b, mv("e3", "d4", kFlagCapture), 0));
  EXPECT_TRUE(seeGE(b, mv("e3", "d4", kFlagCapture), -10000 + 100));
}

TEST(See, EnPassantGainsAPawn) {
  const Board b = at("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
  expectValue(b, mv("e5", "d6", kFlagEnPassant), 100);
  // Recaptured by the c7 pawn: pawn for pawn.
  const Board defended = at("4k3/2p5/8/3pP3/8/8/8/4K3 w - d6 0 1");
  expectValue(defended, mv("e5", "d6", kFlagEnPassant), 0);
}

TEST(See, EnPassantOpensTheFileForARookBehindTheCapturedPawn) {
  // Black rook d1 sees d6 only once the d5 pawn has been removed by the capture: e5xd6 Rxd6.
  const Board b = at("4k3/8/8/3pP3/8/8/8/3rK3 w - d6 0 1");
  expectValue(b, mv("e5", "d6", kFlagEnPassant), 0);
}

TEST(See, ClampedToEighteenHundred) {
  // Pawn takes an undefended queen: 900 fits; a huge loss is clamped at -1800.
  const Board b = at("4k3/8/8/3q4/4P3/8/8/4K3 w - - 0 1");
  expectValue(b, mv("e4", "d5", kFlagCapture), 900);
  const Board loss = at("4k3/8/8/8/8/2p5/8/1Q2K3 w - - 0 1");
  EXPECT_EQ(see(loss, mv("b1", "b2", kFlagQuiet)), -900);
  const Board kingLoss = at("4k3/8/8/8/8/2p5/8/1K6 w - - 0 1");
  EXPECT_EQ(see(kingLoss, mv("b1", "b2", kFlagQuiet)), -1800);
}

}  // namespace
