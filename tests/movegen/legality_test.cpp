// Castling tables and tests, isPseudoLegal screening of arbitrary values, isLegal, quietGivesCheck.
#include <gtest/gtest.h>

#include <string>

#include "movegen/movegen.h"
#include "test_env.h"

namespace {

using testsupport::boardFrom;
using testsupport::mv;
using testsupport::sq;

TEST(CanCastle, RightsPathAndSafety) {
  const auto open = boardFrom("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  EXPECT_TRUE(open->canCastleKS(White));
  EXPECT_TRUE(open->canCastleQS(White));
  EXPECT_TRUE(open->canCastleKS(Black));  // asked for the side not to move too
  EXPECT_TRUE(open->canCastleQS(Black));
  const auto noRights = boardFrom("r3k2r/8/8/8/8/8/8/R3K2R w Kq - 0 1");
  EXPECT_TRUE(noRights->canCastleKS(White));
  EXPECT_FALSE(noRights->canCastleQS(White));
  EXPECT_FALSE(noRights->canCastleKS(Black));
  EXPECT_TRUE(noRights->canCastleQS(Black));
  // b1 attacked (rook on b8) is fine; b1 occupied is not.
  EXPECT_TRUE(boardFrom("1r2k3/8/8/8/8/8/8/R3K3 w Q - 0 1")->canCastleQS(White));
  EXPECT_FALSE(boardFrom("4k3/8/8/8/8/8/8/RN2K3 w Q - 0 1")->canCastleQS(White));
  // Each square of the king's path, start included, must be safe: rooks on c8 and d8, a check
  // from g1, a knight on e3 or a pawn on g2 covering f1 forbid it; a knight on f2 covers d1 and h1 only.
  EXPECT_FALSE(boardFrom("2r1k3/8/8/8/8/8/8/R3K3 w Q - 0 1")->canCastleQS(White));
  EXPECT_FALSE(boardFrom("3rk3/8/8/8/8/8/8/R3K3 w Q - 0 1")->canCastleQS(White));
  EXPECT_FALSE(boardFrom("4k3/8/8/8/8/8/8/R3K1r1 w Q - 0 1")->canCastleQS(White));
  EXPECT_FALSE(boardFrom("4k3/8/8/8/8/4n3/8/4K2R w K - 0 1")->canCastleKS(White));
  EXPECT_FALSE(boardFrom("4k3/8/8/8/8/8/6p1/4K2R w K - 0 1")->canCastleKS(White));
  EXPECT_TRUE(boardFrom("4k3/8/8/8/8/8/5n2/4K2R w K - 0 1")->canCastleKS(White));
  // Black: a knight on e6 covers f8 (and d8, c7, g7...).
  EXPECT_FALSE(boardFrom("r3k2r/8/4N3/8/8/8/8/4K3 b kq - 0 1")->canCastleKS(Black));
  EXPECT_FALSE(boardFrom("r3k2r/8/4N3/8/8/8/8/4K3 b kq - 0 1")->canCastleQS(Black));
  EXPECT_TRUE(boardFrom("r3k2r/8/8/8/8/8/8/4K3 b kq - 0 1")->canCastleQS(Black));
}

TEST(IsPseudoLegal, PawnPushFlags) {
  const auto b = boardFrom(kStartFen);
  EXPECT_FALSE(b->isPseudoLegal(mv("e2", "e4", kFlagQuiet)));
  EXPECT_TRUE(b->isPseudoLegal(mv("e2", "e4", kFlagDoublePush)));
  EXPECT_TRUE(b->isPseudoLegal(mv("e2", "e3", kFlagQuiet)));
  EXPECT_FALSE(b->isPseudoLegal(mv("e2", "e3", kFlagDoublePush)));
  EXPECT_FALSE(b->isPseudoLegal(mv("e2", "e5", kFlagDoublePush)));
  EXPECT_FALSE(b->isPseudoLegal(mv("e7", "e5", kFlagDoublePush)));  // not our pawn
  EXPECT_FALSE(b->isPseudoLegal(0));
  EXPECT_FALSE(b->isPseudoLegal(mv("e2", "e2", kFlagQuiet)));
  EXPECT_FALSE(b->isPseudoLegal(mv("e2", "e3", 6)));
  EXPECT_FALSE(b->isPseudoLegal(mv("e2", "e3", 7)));
  EXPECT_FALSE(b->isPseudoLegal(mv("b1", "d2", kFlagQuiet)));  // own pawn on d2
  // Double push blocked on the first or the second square.
  const auto blocked = boardFrom("4k3/8/8/8/8/4n3/3P4/4K3 w - - 0 1");  // e3 is off the pawn's file
  EXPECT_TRUE(blocked->isPseudoLegal(mv("d2", "d4", kFlagDoublePush)));
  const auto blocked1 = boardFrom("4k3/8/8/8/8/3n4/3P4/4K3 w - - 0 1");
  EXPECT_FALSE(blocked1->isPseudoLegal(mv("d2", "d4", kFlagDoublePush)));
  EXPECT_FALSE(blocked1->isPseudoLegal(mv("d2", "d3", kFlagQuiet)));
  EXPECT_FALSE(blocked1->isPseudoLegal(mv("d2", "e3", kFlagCapture)));
  const auto blocked2 = boardFrom("4k3/8/8/8/3n4/8/3P4/4K3 w - - 0 1");
  EXPECT_FALSE(blocked2->isPseudoLegal(mv("d2", "d4", kFlagDoublePush)));
  EXPECT_TRUE(blocked2->isPseudoLegal(mv("d2", "d3", kFlagQuiet)));
}

TEST(IsPseudoLegal, CaptureBitMustMatchTheTargetForEveryPieceType) {
  // White: pawn e4, knight c3, bishop c4, rook a1, queen d1, king e1. Black pieces on d5 and b5.
  const auto b = boardFrom("4k3/8/8/1p1p4/2B1P3/2N5/8/R2QK3 w - - 0 1");
  struct Case {
    const char* from;
    const char* enemy;
    const char* empty;
  };
  const Case cases[] = {
      {"e4", "d5", "f5"},  // pawn
      {"c3", "d5", "e2"},  // knight
      {"c4", "d5", "d3"},  // bishop (b5 too)
      {"a1", "a1", "a2"},  // rook: no enemy in reach, checked below
      {"d1", "d5", "d2"},  // queen
      {"e1", "e1", "f2"},  // king: no enemy in reach
  };
  for (const Case& c : cases) {
    if (std::string(c.enemy) != c.from) {
      EXPECT_TRUE(b->isPseudoLegal(mv(c.from, c.enemy, kFlagCapture))) << c.from;
      EXPECT_FALSE(b->isPseudoLegal(mv(c.from, c.enemy, kFlagQuiet))) << c.from;
    }
    EXPECT_FALSE(b->isPseudoLegal(mv(c.from, c.empty, kFlagCapture))) << c.from;
    if (std::string(c.from) != "e4") {
      EXPECT_TRUE(b->isPseudoLegal(mv(c.from, c.empty, kFlagQuiet))) << c.from;
    }
  }
  // Pawns move diagonally only by capture.
  EXPECT_FALSE(b->isPseudoLegal(mv("e4", "f5", kFlagQuiet)));
  EXPECT_TRUE(b->isPseudoLegal(mv("e4", "e5", kFlagQuiet)));
  EXPECT_TRUE(b->isPseudoLegal(mv("c4", "b5", kFlagCapture)));
  EXPECT_FALSE(b->isPseudoLegal(mv("c4", "a6", kFlagQuiet)));   // behind b5: blocked
  EXPECT_FALSE(b->isPseudoLegal(mv("d1", "d6", kFlagQuiet)));   // behind d5: blocked
  EXPECT_FALSE(b->isPseudoLegal(mv("a1", "e1", kFlagQuiet)));   // own king
  EXPECT_FALSE(b->isPseudoLegal(mv("c3", "c5", kFlagQuiet)));   // not a knight jump
  EXPECT_FALSE(b->isPseudoLegal(mv("c3", "e2", kFlagDoublePush)));
  EXPECT_FALSE(b->isPseudoLegal(mv("c3", "e2", kFlagPromoQueen)));
  EXPECT_FALSE(b->isPseudoLegal(mv("c3", "d5", kFlagPromoCaptureQueen)));
  EXPECT_FALSE(b->isPseudoLegal(mv("c3", "d5", kFlagEnPassant)));
  EXPECT_FALSE(b->isPseudoLegal(mv("e1", "g1", kFlagKingCastle)));  // no right
}

TEST(IsPseudoLegal, PromotionsNeedTheSeventhAndAPromotionFlag) {
  const auto b = boardFrom("1n2k3/P7/8/8/8/8/4P3/4K3 w - - 0 1");
  EXPECT_FALSE(b->isPseudoLegal(mv("a7", "a8", kFlagQuiet)));
  for (u32 f = kFlagPromoKnight; f <= kFlagPromoQueen; ++f) EXPECT_TRUE(b->isPseudoLegal(mv("a7", "a8", f)));
  for (u32 f = kFlagPromoCaptureKnight; f <= kFlagPromoCaptureQueen; ++f) {
    EXPECT_TRUE(b->isPseudoLegal(mv("a7", "b8", f)));
    EXPECT_FALSE(b->isPseudoLegal(mv("a7", "a8", f)));
  }
  EXPECT_FALSE(b->isPseudoLegal(mv("a7", "b8", kFlagCapture)));
  EXPECT_FALSE(b->isPseudoLegal(mv("e2", "e3", kFlagPromoQueen)));  // not on the seventh
  const auto blocked = boardFrom("n3k3/P7/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_FALSE(blocked->isPseudoLegal(mv("a7", "a8", kFlagPromoQueen)));
}

TEST(IsPseudoLegal, EnPassant) {
  const auto b = boardFrom("4k3/8/8/3PpP2/8/8/8/4K3 w - e6 0 1");
  EXPECT_TRUE(b->isPseudoLegal(mv("d5", "e6", kFlagEnPassant)));
  EXPECT_TRUE(b->isPseudoLegal(mv("f5", "e6", kFlagEnPassant)));
  EXPECT_FALSE(b->isPseudoLegal(mv("d5", "e6", kFlagCapture)));  // e6 is empty
  EXPECT_FALSE(b->isPseudoLegal(mv("d5", "c6", kFlagEnPassant)));
  const auto none = boardFrom("4k3/8/8/3PpP2/8/8/8/4K3 w - - 0 1");
  EXPECT_FALSE(none->isPseudoLegal(mv("d5", "e6", kFlagEnPassant)));
}

TEST(IsPseudoLegal, Castling) {
  const auto b = boardFrom("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  EXPECT_TRUE(b->isPseudoLegal(mv("e1", "g1", kFlagKingCastle)));
  EXPECT_TRUE(b->isPseudoLegal(mv("e1", "c1", kFlagQueenCastle)));
  EXPECT_FALSE(b->isPseudoLegal(mv("e1", "c1", kFlagKingCastle)));
  EXPECT_FALSE(b->isPseudoLegal(mv("e1", "g1", kFlagQueenCastle)));
  EXPECT_FALSE(b->isPseudoLegal(mv("e1", "g1", kFlagQuiet)));  // a king step of two is not a move
  EXPECT_FALSE(b->isPseudoLegal(mv("h1", "f1", kFlagKingCastle)));
  EXPECT_FALSE(b->isPseudoLegal(mv("e8", "g8", kFlagKingCastle)));  // not our turn
  EXPECT_FALSE(boardFrom("r3k2r/8/8/8/8/8/8/R3K2R w Qkq - 0 1")->isPseudoLegal(mv("e1", "g1", kFlagKingCastle)));
  EXPECT_FALSE(boardFrom("r3k2r/8/8/8/8/8/8/R3KB1R w KQkq - 0 1")->isPseudoLegal(mv("e1", "g1", kFlagKingCastle)));
  EXPECT_FALSE(boardFrom("r3k1r1/8/8/8/8/8/8/R3K2R w KQq - 0 1")->isPseudoLegal(mv("e1", "g1", kFlagKingCastle)));
  EXPECT_TRUE(boardFrom("1r2k2r/8/8/8/8/8/8/R3K2R w KQk - 0 1")->isPseudoLegal(mv("e1", "c1", kFlagQueenCastle)));
  const auto black = boardFrom("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1");
  EXPECT_TRUE(black->isPseudoLegal(mv("e8", "g8", kFlagKingCastle)));
  EXPECT_TRUE(black->isPseudoLegal(mv("e8", "c8", kFlagQueenCastle)));
  EXPECT_FALSE(black->isPseudoLegal(mv("e8", "g1", kFlagKingCastle)));
}

TEST(IsLegal, PinsAndKingSafety) {
  const auto b = boardFrom("4k3/8/8/8/1b6/8/3B4/4K3 w - - 0 1");
  EXPECT_FALSE(b->isLegal(mv("d2", "e3", kFlagQuiet)));
  EXPECT_TRUE(b->isLegal(mv("d2", "c3", kFlagQuiet)));
  EXPECT_TRUE(b->isLegal(mv("d2", "b4", kFlagCapture)));
  EXPECT_EQ(b->fen(), "4k3/8/8/8/1b6/8/3B4/4K3 w - - 0 1");
  EXPECT_EQ(b->historySize, 0);

  // The king may not step onto an attacked square, nor along the checking ray away from the rook:
  // e1 is shielded only by the king itself standing on e2.
  const auto k = boardFrom("4r2k/8/8/8/8/8/4K3/8 w - - 0 1");
  EXPECT_FALSE(k->isAttacked(sq("e1"), Black));
  EXPECT_FALSE(k->isLegal(mv("e2", "e1", kFlagQuiet)));
  EXPECT_FALSE(k->isLegal(mv("e2", "e3", kFlagQuiet)));
  EXPECT_TRUE(k->isLegal(mv("e2", "d2", kFlagQuiet)));
  const auto diag = boardFrom("7k/8/8/8/8/8/8/K5rq w - - 0 1");
  EXPECT_FALSE(diag->isLegal(mv("a1", "b1", kFlagQuiet)));  // g1 rook through the king's own square
  EXPECT_TRUE(diag->isLegal(mv("a1", "b2", kFlagQuiet)));
  EXPECT_TRUE(diag->isLegal(mv("a1", "a2", kFlagQuiet)));

  // En passant that would expose the king along the rank.
  const auto ep = boardFrom("8/8/8/K2pP2r/8/8/8/7k w - d6 0 1");
  EXPECT_TRUE(ep->isPseudoLegal(mv("e5", "d6", kFlagEnPassant)));
  EXPECT_FALSE(ep->isLegal(mv("e5", "d6", kFlagEnPassant)));
}

TEST(QuietGivesCheck, DirectAndDiscovered) {
  // Bishop on d4 blocks the rook a4 from the king on h4; any bishop move discovers check.
  const auto disc = boardFrom("8/8/8/8/R2B3k/8/8/K7 w - - 0 1");
  EXPECT_TRUE(disc->quietGivesCheck(mv("d4", "c3", kFlagQuiet)));
  EXPECT_TRUE(disc->quietGivesCheck(mv("d4", "e3", kFlagQuiet)));
  EXPECT_FALSE(disc->quietGivesCheck(mv("a1", "b1", kFlagQuiet)));

  const auto direct = boardFrom("4k3/8/8/8/8/8/3N4/R3K2R w KQ - 0 1");
  EXPECT_FALSE(direct->quietGivesCheck(mv("d2", "f3", kFlagQuiet)));
  EXPECT_FALSE(direct->quietGivesCheck(mv("d2", "c4", kFlagQuiet)));
  EXPECT_TRUE(direct->quietGivesCheck(mv("a1", "a8", kFlagQuiet)));
  EXPECT_TRUE(direct->quietGivesCheck(mv("h1", "h8", kFlagQuiet)));
  EXPECT_FALSE(direct->quietGivesCheck(mv("h1", "h7", kFlagQuiet)));
  // Castling is judged as the king's move alone: the rook landing on f1 checks f8, but that is not
  // reported.
  const auto castleCheck = boardFrom("5k2/8/8/8/8/8/8/4K2R w K - 0 1");
  EXPECT_FALSE(castleCheck->quietGivesCheck(mv("e1", "g1", kFlagKingCastle)));
  // Pawn pushes and knight jumps that check.
  const auto pawn = boardFrom("8/8/3k4/8/4P3/8/1N6/4K3 w - - 0 1");
  EXPECT_TRUE(pawn->quietGivesCheck(mv("e4", "e5", kFlagQuiet)));
  EXPECT_TRUE(pawn->quietGivesCheck(mv("b2", "c4", kFlagQuiet)));
  EXPECT_FALSE(pawn->quietGivesCheck(mv("b2", "d3", kFlagQuiet)));
  // A king move that uncovers the queen's line to the enemy king.
  const auto kingDisc = boardFrom("7k/8/8/8/3K4/8/8/Q7 w - - 0 1");
  EXPECT_TRUE(kingDisc->quietGivesCheck(mv("d4", "c4", kFlagQuiet)));
  EXPECT_FALSE(kingDisc->quietGivesCheck(mv("d4", "e5", kFlagQuiet)));
}

}  // namespace
