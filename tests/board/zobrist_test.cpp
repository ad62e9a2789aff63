// Zobrist keys: the exact stream, reproducibility, and what a position key folds in.
#include "board_test_util.h"

namespace {

using namespace boardtest;

TEST(ZobristTest, StreamMatchesTheFixedGenerator) {
  EXPECT_EQ(Zobrist::pieceSquare[White][Pawn][0], 0xb7fb0288c5ee4339ull);
  // After the 64 white-pawn keys the generator state is pinned; the next draw is the white knight on a1.
  u64 state = Zobrist::kSeed;
  for (int i = 0; i < 64; ++i) Zobrist::nextRandom(state);
  EXPECT_EQ(state, 0xb23c387edc4db2eaull);
  EXPECT_EQ(Zobrist::pieceSquare[White][Knight][0], Zobrist::nextRandom(state));
  // The last draw of the 793 is the en-passant key of file h.
  state = Zobrist::kSeed;
  u64 last = 0;
  for (int i = 0; i < 793; ++i) last = Zobrist::nextRandom(state);
  EXPECT_EQ(Zobrist::enPassant[7], last);
}

TEST(ZobristTest, InitIsRepeatableAndKeysAreDistinct) {
  const u64 first = Zobrist::pieceSquare[Black][King][63];
  const u64 side = Zobrist::sideToMove;
  const u64 castle0 = Zobrist::castling[0];
  Zobrist::init();
  EXPECT_EQ(Zobrist::pieceSquare[Black][King][63], first);
  EXPECT_EQ(Zobrist::sideToMove, side);
  EXPECT_EQ(Zobrist::castling[0], castle0);
  EXPECT_NE(Zobrist::castling[0], 0u);
  EXPECT_NE(Zobrist::castling[0], Zobrist::castling[15]);
  EXPECT_NE(Zobrist::enPassant[0], Zobrist::enPassant[7]);
}

TEST(ZobristTest, PositionKeysFoldInSideCastlingAndEnPassant) {
  auto b = std::make_unique<Board>();
  b->reset();
  EXPECT_EQ(b->key, 0u);  // the empty board: no side or castling key
  EXPECT_EQ(b->pawnKey, 0u);

  ASSERT_TRUE(b->setFen(kStartFen));
  u64 expected = Zobrist::castling[15];
  for (Square s = 0; s < 8; ++s) {
    expected ^= Zobrist::pieceSquare[White][Pawn][s + 8] ^ Zobrist::pieceSquare[Black][Pawn][s + 48];
  }
  static constexpr Piece kBackRank[8] = {Rook, Knight, Bishop, Queen, King, Bishop, Knight, Rook};
  for (Square s = 0; s < 8; ++s)
    expected ^= Zobrist::pieceSquare[White][kBackRank[s]][s] ^ Zobrist::pieceSquare[Black][kBackRank[s]][s + 56];
  EXPECT_EQ(b->key, expected);
  expectConsistent(*b);

  // Rights 0 still contribute their key.
  ASSERT_TRUE(b->setFen("4k3/8/8/8/8/8/8/4K3 w - - 0 1"));
  EXPECT_EQ(b->key, Zobrist::pieceSquare[White][King][sq("e1")] ^ Zobrist::pieceSquare[Black][King][sq("e8")] ^
                        Zobrist::castling[0]);
  ASSERT_TRUE(b->setFen("4k3/8/8/8/8/8/8/4K3 b - - 0 1"));
  EXPECT_EQ(b->key, Zobrist::pieceSquare[White][King][sq("e1")] ^ Zobrist::pieceSquare[Black][King][sq("e8")] ^
                        Zobrist::castling[0] ^ Zobrist::sideToMove);

  // A kept en-passant square adds its file key; the same placement without it differs by exactly that.
  ASSERT_TRUE(b->setFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1"));
  const u64 withEp = b->key;
  ASSERT_TRUE(b->setFen("4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1"));
  EXPECT_EQ(withEp ^ b->key, Zobrist::enPassant[3]);
}

}  // namespace
