// Inline piece updates and make/unmake of Board (included at the end of board.h only).
#pragma once

#include <cassert>

// Every piece change keeps key, pawn key, evaluation sums, material and phase in step, so that
// nothing is ever recomputed from scratch on the search path.

inline void Board::placeBits(Color c, Piece p, Square s) {
  const u64 b = bb(s);
  pieces[c][p] |= b;
  byColor[c] |= b;
  occupied |= b;
  mailbox[s] = p;
}

inline void Board::clearBits(Color c, Piece p, Square s) {
  const u64 b = bb(s);
  pieces[c][p] ^= b;
  byColor[c] ^= b;
  occupied ^= b;
  mailbox[s] = NoPiece;
}

inline void Board::moveBits(Color c, Piece p, Square from, Square to) {
  const u64 b = bb(from) | bb(to);
  pieces[c][p] ^= b;
  byColor[c] ^= b;
  occupied ^= b;
  mailbox[from] = NoPiece;
  mailbox[to] = p;
}

// The keyed forms: the key update, then the same bookkeeping makeMove uses (below).
inline void Board::putPiece(Color c, Piece p, Square s) {
  const u64 k = Zobrist::pieceSquare[c][p][s];
  key ^= k;
  if (p == Pawn) pawnKey ^= k;
  addPiece(c, p, s);
}

inline void Board::removePiece(Color c, Piece p, Square s) {
  const u64 k = Zobrist::pieceSquare[c][p][s];
  key ^= k;
  if (p == Pawn) pawnKey ^= k;
  takePiece(c, p, s);
}

inline void Board::movePiece(Color c, Piece p, Square from, Square to) {
  const u64 k = Zobrist::pieceSquare[c][p][from] ^ Zobrist::pieceSquare[c][p][to];
  key ^= k;
  if (p == Pawn) pawnKey ^= k;
  shiftPiece(c, p, from, to);
}

// The record a move or a null move pushes: what either of them changes besides the pieces.
inline UndoRecord& Board::pushUndo() {
  assert(historySize < kHistoryCapacity && "game history not trimmed");
  UndoRecord& r = history[historySize++];
  r.key = key;
  r.epSquare = epSquare;
  r.castlingRights = castlingRights;
  r.halfmoveClock = halfmoveClock;
  r.captured = NoPiece;
  return r;
}
inline void Board::restoreState(const UndoRecord& r) {
  epSquare = r.epSquare;
  castlingRights = r.castlingRights;
  halfmoveClock = r.halfmoveClock;
  key = r.key;
}

// Field by field, on purpose: a block copy (two overlapping vector moves) made the next move's
// save read across two pending stores, and that store-forwarding stall cost perft 9%.
inline void Board::saveSums(UndoRecord& r) const {
  r.pawnKey = pawnKey;
  r.psqMg = psqMg;
  r.psqEg = psqEg;
  r.nonPawnMaterial[White] = nonPawnMaterial[White];
  r.nonPawnMaterial[Black] = nonPawnMaterial[Black];
  r.phase = phase;
}
inline void Board::restoreSums(const UndoRecord& r) {
  pawnKey = r.pawnKey;
  psqMg = r.psqMg;
  psqEg = r.psqEg;
  nonPawnMaterial[White] = r.nonPawnMaterial[White];
  nonPawnMaterial[Black] = r.nonPawnMaterial[Black];
  phase = r.phase;
}

// The same three updates without the key, for makeMove, which works the key out first.
inline void Board::addPiece(Color c, Piece p, Square s) {
  placeBits(c, p, s);
  psqMg += kPsq[0][c][p][s];
  psqEg += kPsq[1][c][p][s];
  nonPawnMaterial[c] += kNonPawnValue[p];
  phase += EvalParams::kPhaseWeight[p];
}

inline void Board::takePiece(Color c, Piece p, Square s) {
  clearBits(c, p, s);
  psqMg -= kPsq[0][c][p][s];
  psqEg -= kPsq[1][c][p][s];
  nonPawnMaterial[c] -= kNonPawnValue[p];
  phase -= EvalParams::kPhaseWeight[p];
}

inline void Board::shiftPiece(Color c, Piece p, Square from, Square to) {
  moveBits(c, p, from, to);
  psqMg += kPsq[0][c][p][to] - kPsq[0][c][p][from];
  psqEg += kPsq[1][c][p][to] - kPsq[1][c][p][from];
}

// The new key is complete before any piece moves and is handed to onKey there: the search starts
// loading the child's transposition-table bucket, and the rest of the bookkeeping overlaps that
// load. Each case below has the effects of removePiece, movePiece and putPiece, with their key
// arithmetic done ahead of the piece updates.
template <typename OnKey>
inline void Board::makeMove(Move m, OnKey&& onKey) {
  UndoRecord& r = pushUndo();
  saveSums(r);

  const Color us = side, them = us ^ 1;
  const Square from = moveFrom(m), to = moveTo(m);
  const u32 flag = moveFlag(m);
  const auto& zp = Zobrist::pieceSquare;

  u64 k = key ^ Zobrist::sideToMove;
  // Most positions of a search have no castling rights left; they skip the mask and both keys.
  if (castlingRights) {
    const u8 rights = castlingRights & kCastlingMask[from] & kCastlingMask[to];
    k ^= Zobrist::castling[castlingRights] ^ Zobrist::castling[rights];
    castlingRights = rights;
  }
  if (epSquare != NoSquare) {
    k ^= Zobrist::enPassant[fileOf(epSquare)];
    epSquare = NoSquare;
  }
  halfmoveClock += halfmoveClock != 255;  // saturates: a u8 must never wrap back to "fresh"

  switch (flag) {
    case kFlagQuiet:
    case kFlagDoublePush: {
      const Piece p = mailbox[from];
      const u64 d = zp[us][p][from] ^ zp[us][p][to];
      k ^= d;
      if (flag == kFlagDoublePush) k ^= Zobrist::enPassant[fileOf(from)];
      onKey(k);
      shiftPiece(us, p, from, to);
      if (p == Pawn) {
        pawnKey ^= d;
        halfmoveClock = 0;
        if (flag == kFlagDoublePush) epSquare = (from + to) >> 1;  // the square passed over
      }
      break;
    }
    case kFlagKingCastle:
    case kFlagQueenCastle: {
      const Square rookFrom = flag == kFlagKingCastle ? from + 3 : from - 4;
      const Square rookTo = flag == kFlagKingCastle ? from + 1 : from - 1;
      k ^= zp[us][King][from] ^ zp[us][King][to] ^ zp[us][Rook][rookFrom] ^ zp[us][Rook][rookTo];
      onKey(k);
      shiftPiece(us, King, from, to);
      shiftPiece(us, Rook, rookFrom, rookTo);
      break;
    }
    case kFlagEnPassant: {
      // The captured pawn stands beside the mover: rank of from, file of to.
      const Square capSq = (from & 56) | (to & 7);
      const u64 d = zp[them][Pawn][capSq] ^ zp[us][Pawn][from] ^ zp[us][Pawn][to];
      k ^= d;
      onKey(k);
      pawnKey ^= d;
      takePiece(them, Pawn, capSq);
      shiftPiece(us, Pawn, from, to);
      r.captured = Pawn;
      halfmoveClock = 0;
      break;
    }
    case kFlagCapture:
    case 6:
    case 7: {
      const Piece victim = mailbox[to], p = mailbox[from];
      const u64 dv = zp[them][victim][to], dp = zp[us][p][from] ^ zp[us][p][to];
      k ^= dv ^ dp;
      onKey(k);
      if (victim == Pawn) pawnKey ^= dv;
      if (p == Pawn) pawnKey ^= dp;
      r.captured = victim;
      takePiece(them, victim, to);
      shiftPiece(us, p, from, to);
      halfmoveClock = 0;
      break;
    }
    default: {  // promotions, flags 8-15
      const Piece promoted = promotedPiece(m);
      const Piece victim = flag & 4 ? mailbox[to] : NoPiece;
      const u64 dv = victim != NoPiece ? zp[them][victim][to] : 0;
      k ^= dv ^ zp[us][Pawn][from] ^ zp[us][promoted][to];
      onKey(k);
      pawnKey ^= zp[us][Pawn][from] ^ (victim == Pawn ? dv : 0);
      if (victim != NoPiece) {
        r.captured = victim;
        takePiece(them, victim, to);
      }
      takePiece(us, Pawn, from);
      addPiece(us, promoted, to);
      halfmoveClock = 0;
      break;
    }
  }

  key = k;
  fullmoveNumber += us;  // Black = 1: the move number advances after Black's move
  side = them;
}

inline void Board::unmakeMove(Move m) {
  side ^= 1;
  const Color us = side, them = us ^ 1;
  fullmoveNumber -= us;
  const UndoRecord& r = history[--historySize];
  const Square from = moveFrom(m), to = moveTo(m);
  const u32 flag = moveFlag(m);

  switch (flag) {
    case kFlagEnPassant:
      moveBits(us, Pawn, to, from);
      placeBits(them, Pawn, (from & 56) | (to & 7));
      break;
    case kFlagKingCastle:
      moveBits(us, King, to, from);
      moveBits(us, Rook, from + 1, from + 3);
      break;
    case kFlagQueenCastle:
      moveBits(us, King, to, from);
      moveBits(us, Rook, from - 1, from - 4);
      break;
    default:
      if (flag & 8) {  // promotion
        clearBits(us, promotedPiece(m), to);
        placeBits(us, Pawn, from);
      } else {
        moveBits(us, mailbox[to], to, from);
      }
      if (r.captured != NoPiece) placeBits(them, r.captured, to);
      break;
  }

  restoreState(r);
  restoreSums(r);
}

inline void Board::makeNullMove() {
  pushUndo();
  // Nothing moves, so the pawn key and the sums stay valid and need no copy.
  if (epSquare != NoSquare) {
    key ^= Zobrist::enPassant[fileOf(epSquare)];
    epSquare = NoSquare;
  }
  key ^= Zobrist::sideToMove;
  fullmoveNumber += side;
  side ^= 1;
  halfmoveClock += halfmoveClock != 255;
}

inline void Board::unmakeNullMove() {
  side ^= 1;
  fullmoveNumber -= side;
  restoreState(history[--historySize]);
}
