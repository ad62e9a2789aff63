// Shared helpers of the board tests: the tables started once, square names, from-scratch checks.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "board/board.h"
#include "board/zobrist.h"
#include "psqt/psqt.h"
#include "support/boards.h"
#include "support/squares.h"
#include "support/startup.h"

namespace boardtest {

inline ::testing::Environment* const kStartUp = testsupport::startUp(initBoardTables);

using testsupport::sq;

using testsupport::boardFrom;
using testsupport::expectSameBoard;

// Every incrementally kept field against its from-scratch value, plus the bitboard invariants.
inline void expectConsistent(const Board& b) {
  u64 key = 0, pawnKey = 0, all[2] = {0, 0};
  int mg = 0, eg = 0, npm[2] = {0, 0}, phase = 0;
  for (Color c = White; c <= Black; ++c) {
    for (Piece p = Pawn; p <= King; ++p) {
      for (u64 bits = b.pieces[c][p]; bits;) {
        const Square s = popLsb(bits);
        EXPECT_EQ(b.mailbox[s], p) << "square " << s;
        key ^= Zobrist::pieceSquare[c][p][s];
        if (p == Pawn) pawnKey ^= Zobrist::pieceSquare[c][p][s];
        mg += kPsq[0][c][p][s];
        eg += kPsq[1][c][p][s];
        npm[c] += kNonPawnValue[p];
        phase += EvalParams::kPhaseWeight[p];
      }
      EXPECT_EQ(all[c] & b.pieces[c][p], 0u) << "overlapping piece sets";
      all[c] |= b.pieces[c][p];
    }
    EXPECT_EQ(b.byColor[c], all[c]);
    EXPECT_EQ(popcount(b.pieces[c][King]), 1);
  }
  EXPECT_EQ(all[White] & all[Black], 0u);
  EXPECT_EQ(b.occupied, all[White] | all[Black]);
  for (Square s = 0; s < 64; ++s)
    if (!((b.occupied >> s) & 1)) {
      EXPECT_EQ(b.mailbox[s], NoPiece) << "square " << s;
    }
  if (b.side == Black) key ^= Zobrist::sideToMove;
  key ^= Zobrist::castling[b.castlingRights];
  if (b.epSquare != NoSquare) key ^= Zobrist::enPassant[fileOf(b.epSquare)];
  EXPECT_EQ(b.key, key);
  EXPECT_EQ(b.pawnKey, pawnKey);
  EXPECT_EQ(b.computePawnKey(), pawnKey);
  EXPECT_EQ(b.psqMg, mg);
  EXPECT_EQ(b.psqEg, eg);
  EXPECT_EQ(b.nonPawnMaterial[White], npm[White]);
  EXPECT_EQ(b.nonPawnMaterial[Black], npm[Black]);
  EXPECT_EQ(b.phase, phase);
}

}  // namespace boardtest
