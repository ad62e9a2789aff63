// Shared primitive types of the engine: squares, colours, pieces, moves, bit tricks.
#pragma once

#include <bit>
#include <cstdint>

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;
using i16 = std::int16_t;
using i32 = std::int32_t;
using i64 = std::int64_t;

using Square = i32;  // a1 = 0, h1 = 7, a8 = 56, h8 = 63
using Color = i32;
using Piece = i32;  // colourless piece type
using Move = u32;   // bits 0-5 from, 6-11 to, 12-15 flag; 0 = no move

constexpr Color White = 0;
constexpr Color Black = 1;

constexpr Piece Pawn = 0;
constexpr Piece Knight = 1;
constexpr Piece Bishop = 2;
constexpr Piece Rook = 3;
constexpr Piece Queen = 4;
constexpr Piece King = 5;
constexpr Piece NoPiece = 6;

constexpr Square NoSquare = 64;

constexpr int fileOf(Square s) { return s & 7; }
constexpr int rankOf(Square s) { return s >> 3; }
constexpr Square makeSquare(int file, int rank) { return file + 8 * rank; }
constexpr u64 bb(Square s) { return u64{1} << s; }

inline constexpr u64 kFileA = 0x0101010101010101ULL;
inline constexpr u64 kFileH = kFileA << 7;

// Hardware popcount / bit scan (built with -mpopcnt/-mbmi on native builds).
inline int popcount(u64 b) { return std::popcount(b); }
inline Square lsb(u64 b) { return std::countr_zero(b); }
inline Square popLsb(u64& b) {
  Square s = std::countr_zero(b);
  b &= b - 1;
  return s;
}

// Move flags.
constexpr u32 kFlagQuiet = 0;
constexpr u32 kFlagDoublePush = 1;
constexpr u32 kFlagKingCastle = 2;
constexpr u32 kFlagQueenCastle = 3;
constexpr u32 kFlagCapture = 4;
constexpr u32 kFlagEnPassant = 5;
constexpr u32 kFlagPromoKnight = 8;
constexpr u32 kFlagPromoBishop = 9;
constexpr u32 kFlagPromoRook = 10;
constexpr u32 kFlagPromoQueen = 11;
constexpr u32 kFlagPromoCaptureKnight = 12;
constexpr u32 kFlagPromoCaptureBishop = 13;
constexpr u32 kFlagPromoCaptureRook = 14;
constexpr u32 kFlagPromoCaptureQueen = 15;

constexpr Move encodeMove(Square from, Square to, u32 flag) {
  return static_cast<Move>(from) | (static_cast<Move>(to) << 6) | (flag << 12);
}
constexpr Square moveFrom(Move m) { return static_cast<Square>(m & 63); }
constexpr Square moveTo(Move m) { return static_cast<Square>((m >> 6) & 63); }
constexpr u32 moveFlag(Move m) { return (m >> 12) & 15; }
constexpr bool isCapture(Move m) { return (m & (1u << 14)) != 0; }
constexpr bool isPromotion(Move m) { return (m & (1u << 15)) != 0; }
constexpr bool isQuietMove(Move m) { return (m & 0xC000u) == 0; }
constexpr bool isCastling(Move m) {
  return moveFlag(m) == kFlagKingCastle || moveFlag(m) == kFlagQueenCastle;
}
constexpr Piece promotedPiece(Move m) { return Knight + static_cast<Piece>(moveFlag(m) & 3); }
