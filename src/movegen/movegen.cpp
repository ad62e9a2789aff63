// Move generators. The emission order is part of the engine's observable behaviour (picker tie-breaks,
// perft divide order), so each generator follows one fixed order and never sorts.
#include "movegen/movegen.h"

namespace {

constexpr u64 kRank2 = 0x000000000000FF00ULL;
constexpr u64 kRank3 = 0x0000000000FF0000ULL;
constexpr u64 kRank6 = 0x0000FF0000000000ULL;
constexpr u64 kRank7 = 0x00FF000000000000ULL;

template <Color Us>
struct Dir {
  static constexpr Color kThem = Us ^ 1;
  static constexpr int kForward = Us == White ? 8 : -8;
  static constexpr u64 kSeventh = Us == White ? kRank7 : kRank2;
  static constexpr u64 kThird = Us == White ? kRank3 : kRank6;  // where a double push passes through
  static constexpr Square kKingFrom = Us == White ? 4 : 60;

  static constexpr u64 up(u64 b) { return Us == White ? b << 8 : b >> 8; }
  // Our pawns that attack at least one square of `targets`; spares a table lookup per idle pawn.
  static constexpr u64 attackersOf(u64 targets) { return pawnAttacksOf(kThem, targets); }
};

// Writers take and return a raw cursor into the list: the size is stored once per generator.
inline Move* emit(Move* out, Square from, u64 targets, u32 flag) {
  while (targets) *out++ = encodeMove(from, popLsb(targets), flag);
  return out;
}

template <Color Us>
Move* pawnCapturesBelowSeventh(const Board& b, Move* out) {
  const u64 them = b.byColor[Us ^ 1];
  u64 pawns = b.pieces[Us][Pawn] & ~Dir<Us>::kSeventh & Dir<Us>::attackersOf(them);
  while (pawns) {
    const Square from = popLsb(pawns);
    out = emit(out, from, Attacks::pawnAttacks[Us][from] & them, kFlagCapture);
  }
  return out;
}

// Pawns one step from promotion: per pawn, the push promotions, then per target the capture ones;
// queen first in each group of four.
template <Color Us>
Move* pawnPromotions(const Board& b, Move* out) {
  const u64 them = b.byColor[Us ^ 1];
  u64 pawns = b.pieces[Us][Pawn] & Dir<Us>::kSeventh;
  while (pawns) {
    const Square from = popLsb(pawns);
    const Square ahead = from + Dir<Us>::kForward;
    if (b.mailbox[ahead] == NoPiece) {
      *out++ = encodeMove(from, ahead, kFlagPromoQueen);
      *out++ = encodeMove(from, ahead, kFlagPromoRook);
      *out++ = encodeMove(from, ahead, kFlagPromoBishop);
      *out++ = encodeMove(from, ahead, kFlagPromoKnight);
    }
    u64 targets = Attacks::pawnAttacks[Us][from] & them;
    while (targets) {
      const Square to = popLsb(targets);
      *out++ = encodeMove(from, to, kFlagPromoCaptureQueen);
      *out++ = encodeMove(from, to, kFlagPromoCaptureRook);
      *out++ = encodeMove(from, to, kFlagPromoCaptureBishop);
      *out++ = encodeMove(from, to, kFlagPromoCaptureKnight);
    }
  }
  return out;
}

template <Color Us>
Move* enPassant(const Board& b, Move* out) {
  if (b.epSquare == NoSquare) return out;
  u64 pawns = Attacks::pawnAttacks[Us ^ 1][b.epSquare] & b.pieces[Us][Pawn];
  while (pawns) *out++ = encodeMove(popLsb(pawns), b.epSquare, kFlagEnPassant);
  return out;
}

// Single pushes then double pushes, each set in destination order (whole-set shifts).
template <Color Us>
Move* pawnPushes(const Board& b, Move* out) {
  const u64 empty = ~b.occupied;
  const u64 single = Dir<Us>::up(b.pieces[Us][Pawn] & ~Dir<Us>::kSeventh) & empty;
  u64 doubles = Dir<Us>::up(single & Dir<Us>::kThird) & empty;
  u64 s = single;
  while (s) {
    const Square to = popLsb(s);
    *out++ = encodeMove(to - Dir<Us>::kForward, to, kFlagQuiet);
  }
  while (doubles) {
    const Square to = popLsb(doubles);
    *out++ = encodeMove(to - 2 * Dir<Us>::kForward, to, kFlagDoublePush);
  }
  return out;
}

enum class Kind { Captures, Quiets, All };

// Knights, bishops, rooks, queens, king in that order. For Kind::All the capture bit comes straight
// from the target's colour, so captures and quiet moves of one piece interleave by square.
template <Color Us, Kind K>
Move* pieceMoves(const Board& b, Move* out) {
  const u64 them = b.byColor[Us ^ 1];
  const u64 occ = b.occupied;
  const u64 mask = K == Kind::Captures ? them : K == Kind::Quiets ? ~occ : ~b.byColor[Us];

  auto emitPiece = [&](Square from, u64 attacks) {
    u64 t = attacks & mask;
    if constexpr (K == Kind::All) {
      while (t) {
        const Square to = popLsb(t);
        *out++ = encodeMove(from, to, static_cast<u32>((them >> to) & 1) << 2);
      }
    } else {
      out = emit(out, from, t, K == Kind::Captures ? kFlagCapture : kFlagQuiet);
    }
  };

  for (u64 p = b.pieces[Us][Knight]; p;) {
    const Square from = popLsb(p);
    emitPiece(from, Attacks::knightAttacks[from]);
  }
  for (u64 p = b.pieces[Us][Bishop]; p;) {
    const Square from = popLsb(p);
    emitPiece(from, bishopAttacks(from, occ));
  }
  for (u64 p = b.pieces[Us][Rook]; p;) {
    const Square from = popLsb(p);
    emitPiece(from, rookAttacks(from, occ));
  }
  for (u64 p = b.pieces[Us][Queen]; p;) {
    const Square from = popLsb(p);
    emitPiece(from, queenAttacks(from, occ));
  }
  const Square ksq = b.kingSquare(Us);
  emitPiece(ksq, Attacks::kingAttacks[ksq]);
  return out;
}

template <Color Us>
Move* castling(const Board& b, Move* out) {
  // A castling right implies king and rook on their home squares, so from is always e1/e8.
  if (b.canCastleKS(Us)) *out++ = encodeMove(Dir<Us>::kKingFrom, Dir<Us>::kKingFrom + 2, kFlagKingCastle);
  if (b.canCastleQS(Us)) *out++ = encodeMove(Dir<Us>::kKingFrom, Dir<Us>::kKingFrom - 2, kFlagQueenCastle);
  return out;
}

template <Color Us>
void captures(const Board& b, MoveList& list) {
  Move* out = list.moves + list.size;
  out = pawnCapturesBelowSeventh<Us>(b, out);
  out = pawnPromotions<Us>(b, out);
  out = enPassant<Us>(b, out);
  out = pieceMoves<Us, Kind::Captures>(b, out);
  list.size = static_cast<int>(out - list.moves);
}

template <Color Us>
void quiets(const Board& b, MoveList& list) {
  Move* out = list.moves + list.size;
  out = pawnPushes<Us>(b, out);
  out = pieceMoves<Us, Kind::Quiets>(b, out);
  out = castling<Us>(b, out);
  list.size = static_cast<int>(out - list.moves);
}

template <Color Us>
void allMoves(const Board& b, MoveList& list) {
  Move* out = list.moves + list.size;
  out = pawnPushes<Us>(b, out);
  out = pawnCapturesBelowSeventh<Us>(b, out);
  out = pawnPromotions<Us>(b, out);
  out = enPassant<Us>(b, out);
  out = pieceMoves<Us, Kind::All>(b, out);
  out = castling<Us>(b, out);
  list.size = static_cast<int>(out - list.moves);
}

}  // namespace

void generateCaptures(const Board& b, MoveList& list) {
  b.side == White ? captures<White>(b, list) : captures<Black>(b, list);
}

void generateQuiets(const Board& b, MoveList& list) {
  b.side == White ? quiets<White>(b, list) : quiets<Black>(b, list);
}

void generateMoves(const Board& b, MoveList& list) {
  b.side == White ? allMoves<White>(b, list) : allMoves<Black>(b, list);
}

void generateLegalMoves(const Board& b, MoveList& list) {
  // Legality is decided by making each move and looking at our king, which needs a mutable Board.
  // Copying the Board (about 60 KB with its undo stack) per call would cost more than the generation,
  // so we make and unmake on the caller's Board: every field it observes is restored on return (only
  // the unused undo slot at historySize is scribbled). No Board in the engine is defined const, so the
  // cast is well-defined; like isLegal, it must not run on a Board another thread is reading.
  Board& pos = const_cast<Board&>(b);
  MoveList pseudo;
  generateMoves(pos, pseudo);
  for (const Move m : pseudo)
    if (pos.isLegal(m)) list.add(m);
}
