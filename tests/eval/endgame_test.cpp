// End-game knowledge: the KPK bitbase, the scale-factor rules, king proximity and KRPKR.
#include "eval/endgame.h"

#include <optional>

#include "eval_test_env.h"

using namespace evaltest;

namespace {

using testsupport::sq;

int scaleOf(const std::string& fen, int eg) { return egScaleFactor(*boardFrom(fen), eg); }

// King and pawn against king from the bitbase: strong side, its king, its pawn, the defending king,
// the side to move (both when unset) and whether the strong side wins.
TEST(KPK, KnownWinsAndDraws) {
  const struct {
    Color strong;
    const char *k, *p, *weak;
    std::optional<Color> stm;
    bool win;
    const char* why;
  } cases[] = {
      {White, "c2", "a4", "a8", {}, false, "rook pawn, defender in the corner"},
      {White, "f2", "h4", "h8", {}, false, "rook pawn, defender in the corner"},
      {Black, "c7", "a5", "a1", {}, false, "rook pawn, defender in the corner"},
      {Black, "f7", "h5", "h1", {}, false, "rook pawn, defender in the corner"},
      {White, "b6", "a6", "a8", {}, false, "rook pawn, king beside it on the 7th"},
      {White, "e1", "a4", "h8", {}, true, "rook pawn outside the defender's square"},
      {White, "d1", "h4", "a8", {}, true, "rook pawn outside the defender's square"},
      {Black, "e8", "a5", "h1", {}, true, "rook pawn outside the defender's square"},
      {Black, "d8", "h5", "a1", {}, true, "rook pawn outside the defender's square"},
      {White, "f6", "e7", "a1", {}, true, "protected pawn on the 7th, defender far"},
      {White, "c6", "b7", "h1", {}, true, "protected pawn on the 7th, defender far"},
      {Black, "f3", "e2", "a8", {}, true, "protected pawn on the 7th, defender far"},
      {Black, "c3", "b2", "h8", {}, true, "protected pawn on the 7th, defender far"},
      // Pawn on the 6th, king beside it, defender in front: the attacker to move wins (the pawn
      // advances and the king covers the queening square); the defender to move takes the
      // opposition and draws.
      {White, "d6", "e6", "e8", White, true, "opposition, attacker to move"},
      {White, "d6", "e6", "e8", Black, false, "opposition, defender to move"},
      {White, "f6", "e6", "e8", White, true, "opposition, attacker to move"},
      {White, "f6", "e6", "e8", Black, false, "opposition, defender to move"},
      {White, "c6", "d6", "d8", White, true, "opposition, attacker to move"},
      {White, "c6", "d6", "d8", Black, false, "opposition, defender to move"},
      {Black, "d3", "e3", "e1", Black, true, "opposition, attacker to move"},
      {Black, "d3", "e3", "e1", White, false, "opposition, defender to move"},
      {Black, "g3", "f3", "f1", Black, true, "opposition, attacker to move"},
      {Black, "g3", "f3", "f1", White, false, "opposition, defender to move"},
      {White, "e6", "e5", "e8", {}, true, "king on the 6th in front of the pawn"},
      {White, "b6", "b5", "b8", {}, true, "king on the 6th in front of the pawn"},
      {Black, "e3", "e4", "e1", {}, true, "king on the 6th in front of the pawn"},
      {Black, "g3", "g4", "g1", {}, true, "king on the 6th in front of the pawn"},
  };
  for (const auto& c : cases)
    for (Color stm : {White, Black}) {
      if (c.stm && *c.stm != stm) continue;
      EXPECT_EQ(Endgame::kpkWin(c.strong, sq(c.k), sq(c.p), sq(c.weak), stm), c.win)
          << c.why << ": " << c.k << " " << c.p << " " << c.weak << ", side to move " << stm;
    }
}

TEST(KPK, InitIsIdempotent) {
  const u32 before = gKPK[1234];
  Endgame::init();
  EXPECT_EQ(gKPK[1234], before);
  int wins = 0;
  for (u32 w : gKPK) wins += std::popcount(w);
  EXPECT_GT(wins, 0);
}

// The scale factor of the end-game rules for the side ahead (by the sign of eg).
TEST(ScaleFactor, EndgameRules) {
  const struct {
    const char* fen;
    int eg, scale;
    const char* why;
  } cases[] = {
      {"8/8/3k4/2p5/2P5/3K4/8/8 w - - 0 1", -100, 64, "pawns on both sides, no pieces"},
      {"8/8/3k4/2p5/2P5/3K4/8/8 w - - 0 1", 0, 64, "pawns on both sides, no pieces"},
      {"8/8/3k4/2p5/2P5/3K4/8/8 w - - 0 1", 100, 64, "pawns on both sides, no pieces"},
      {"k7/8/8/8/P7/8/2K5/8 w - - 0 1", 100, 0, "KPK bitbase draw"},
      {"7k/8/8/8/P7/8/8/4K3 w - - 0 1", 100, 64, "KPK bitbase win"},
      {"8/2k5/8/p7/8/8/8/K7 b - - 0 1", -100, 0, "KPK bitbase draw, Black"},
      {"K7/8/8/p7/8/8/8/4k3 b - - 0 1", -100, 64, "KPK bitbase win, Black"},
      {"7k/8/8/8/P7/8/8/4K3 w - - 0 1", -100, 64, "KPK: the pawn side decides, not the sign of eg"},
      {"6k1/8/8/8/8/7P/8/4KB2 w - - 0 1", 100, 0, "h-pawn, light bishop, h8 dark"},
      {"8/8/4k3/8/8/7P/8/4KB2 w - - 0 1", 100, 64, "wrong bishop, defender off the corner"},
      {"6k1/8/8/8/8/7P/8/4K1B1 w - - 0 1", 100, 64, "right bishop (dark, g1)"},
      {"3bk3/8/7p/8/8/8/8/6K1 b - - 0 1", -100, 0, "Black h-pawn queens on h1 (light), dark bishop"},
      {"3bk3/8/7p/8/8/8/8/3K4 b - - 0 1", -100, 64, "Black wrong bishop, defender off the corner"},
      {"4k3/8/8/8/8/8/8/1N2K1N1 w - - 0 1", 100, 0, "two knights"},
      {"4k3/4p3/8/8/8/8/8/1N2K1N1 w - - 0 1", 100, 64, "two knights against a pawn"},
      {"4k3/p4b2/8/8/8/8/P7/2B1K3 w - - 0 1", 100, 32, "opposite-coloured bishops"},
      {"4k3/p4b2/8/8/8/8/P7/2B1K3 w - - 0 1", -100, 32, "opposite-coloured bishops, Black ahead"},
      {"4k3/5b2/8/8/8/8/P7/2B1K3 w - - 0 1", 100, 32, "opposite-coloured bishops, one pawn"},
      {"4k3/p3b3/8/8/8/8/P7/2B1K3 w - - 0 1", 100, 64, "same-coloured bishops"},
      {"4k3/8/8/8/8/8/8/R3K1n1 w - - 0 1", 100, 8, "rook against knight"},
      {"4k3/8/8/8/8/8/8/R3K1b1 w - - 0 1", 100, 8, "rook against bishop"},
      {"4k3/8/8/8/8/8/8/4KB2 w - - 0 1", 100, 8, "lone bishop"},
      {"4k3/8/8/8/8/8/P7/R3K1n1 w - - 0 1", 100, 64, "the rook side has a pawn"},
      {"4k3/8/8/8/8/8/8/Q3K1n1 w - - 0 1", 100, 64, "far more than a minor ahead"},
      {"4k2r/8/8/4P3/8/8/R7/1K6 w - - 0 1", 100, 12, "KRPKR, defender on the pawn's file"},
      {"7r/8/2k1P3/8/8/8/R7/1K6 w - - 0 1", 100, 64, "KRPKR, defender off the pawn's file"},
  };
  for (const auto& c : cases) EXPECT_EQ(scaleOf(c.fen, c.eg), c.scale) << c.why << ": " << c.fen;
}

TEST(KRPKR, DistanceRace) {
  using Endgame::krpkrScale;
  // Pawn d4, defender b8 (not in front): defender 2 from the queening square, attacker on d3 5:
  // t = -3, and a rook on the c-file cuts the king off.
  EXPECT_EQ(krpkrScale(White, sq("d3"), sq("c1"), sq("d4"), sq("b8"), sq("h8"), White), 64);
  EXPECT_EQ(krpkrScale(White, sq("d3"), sq("h1"), sq("d4"), sq("b8"), sq("h8"), White), 24);
  EXPECT_EQ(krpkrScale(White, sq("d3"), sq("c1"), sq("d4"), sq("b8"), sq("h8"), Black), 12);
  EXPECT_EQ(krpkrScale(White, sq("a1"), sq("c1"), sq("d4"), sq("b8"), sq("h8"), White), 12);
  EXPECT_EQ(krpkrScale(White, sq("d3"), sq("c1"), sq("d4"), sq("h8"), sq("a8"), White), 64);
  // Mirrored files and colours give the same answers.
  EXPECT_EQ(krpkrScale(White, sq("e3"), sq("f1"), sq("e4"), sq("g8"), sq("a8"), White), 64);
  EXPECT_EQ(krpkrScale(Black, sq("d6"), sq("c8"), sq("d5"), sq("b1"), sq("h1"), Black), 64);
  EXPECT_EQ(krpkrScale(Black, sq("d6"), sq("h8"), sq("d5"), sq("b1"), sq("h1"), Black), 24);
  // Defender in front of the pawn; pawn on the 6th.
  EXPECT_EQ(krpkrScale(White, sq("a1"), sq("c1"), sq("d4"), sq("c6"), sq("h8"), White), 12);
  EXPECT_EQ(krpkrScale(White, sq("a1"), sq("c1"), sq("d6"), sq("h6"), sq("h8"), Black), 64);
}

// With the board's own material sums, so that the rules are checked for whatever values the
// engine was built with (this file also runs in the build from altered values).
int proximityOf(const std::string& fen) {
  const auto b = boardFrom(fen);
  return kingProximityEg(*b, b->nonPawnMaterial[White], b->nonPawnMaterial[Black]);
}

TEST(KingProximity, MopUpDrivesTheLoneKingToTheEdge) {
  // Black king in the corner, kings two files and two ranks apart: 5 * (14 - 4) + 10 * 6.
  EXPECT_EQ(proximityOf("k7/8/2K5/8/8/8/8/7R w - - 0 1"), 110);
  EXPECT_EQ(proximityOf("7r/8/8/8/8/2k5/8/K7 w - - 0 1"), -110);
  // Knight against bishop is no lead: nothing.
  EXPECT_EQ(proximityOf("k7/8/2K5/8/8/8/8/6nB w - - 0 1"), 0);
}

TEST(KingProximity, KnightAndBishopMateCorner) {
  // Dark bishop e1: corners a1/h8; the king on b1 is one step from a1: 105 + 30 * 6.
  EXPECT_EQ(proximityOf("8/8/8/8/8/2K5/8/1k2BN2 w - - 0 1"), 285);
  // Light bishop f1: corners h1/a8, six steps away: 105 + 30.
  EXPECT_EQ(proximityOf("8/8/8/8/8/2K5/8/1k2NB2 w - - 0 1"), 135);
  // Colour-flipped: negated.
  EXPECT_EQ(proximityOf("1K2bn2/8/2k5/8/8/8/8/8 b - - 0 1"), -285);
}

}  // namespace
