// The position: bitboards, mailbox, game state, keys, incremental evaluation sums, undo stack.
#pragma once

#include <string>
#include <string_view>

#include "attacks/attacks.h"
#include "types/types.h"
#include "board/zobrist.h"
#include "psqt/psqt.h"

struct UndoRecord {
  u64 key;
  i32 epSquare;
  u8 castlingRights;
  u8 halfmoveClock;
  i32 captured;
  u64 pawnKey;
  i32 psqMg;
  i32 psqEg;
  i32 nonPawnMaterial[2];
  i32 phase;
};

constexpr int kHistoryCapacity = 1024;
// A game position's owner trims its history (trimHistory) once it holds this many records: well
// before the stack fills, however long the game, and with room for any search on top.
constexpr int kTrimHistoryAt = 512;

class Board {
 public:
  u64 pieces[2][6];
  u64 byColor[2];
  u64 occupied;
  i32 mailbox[64];
  i32 side;
  i32 epSquare;
  u8 castlingRights;
  u8 halfmoveClock;  // saturates at 255 instead of wrapping
  i32 fullmoveNumber;
  u64 key;
  u64 pawnKey;
  i32 psqMg;
  i32 psqEg;
  i32 nonPawnMaterial[2];
  i32 phase;
  UndoRecord history[kHistoryCapacity];
  i32 historySize;

  void reset();
  void putPiece(Color c, Piece p, Square s);
  void removePiece(Color c, Piece p, Square s);
  void movePiece(Color c, Piece p, Square from, Square to);
  // Bitboards and mailbox only: unmake restores keys and sums wholesale from the undo record.
  void placeBits(Color c, Piece p, Square s);
  void clearBits(Color c, Piece p, Square s);
  void moveBits(Color c, Piece p, Square from, Square to);
  // putPiece, removePiece and movePiece without the key (makeMove keys the move up front).
  void addPiece(Color c, Piece p, Square s);
  void takePiece(Color c, Piece p, Square s);
  void shiftPiece(Color c, Piece p, Square from, Square to);
  u64 computePawnKey() const;
  UndoRecord& pushUndo();
  void restoreState(const UndoRecord& r);
  void saveSums(UndoRecord& r) const;
  void restoreSums(const UndoRecord& r);

  bool setFen(std::string_view fen);
  std::string fen() const;

  [[gnu::always_inline]] void makeMove(Move m) {
    makeMove(m, [](u64) {});
  }
  // onKey(new key) runs as soon as the new key is known, before the pieces move. Both are forced
  // inline: a call per move costs perft and the search more than the code size.
  template <typename OnKey>
  [[gnu::always_inline]] void makeMove(Move m, OnKey&& onKey);
  [[gnu::always_inline]] void unmakeMove(Move m);
  void makeNullMove();
  void unmakeNullMove();

  // Drops undo records that repetition detection can no longer reach (older than the halfmove
  // clock), keeping the last min(historySize, halfmoveClock) at the front. Only the owner of a game
  // position may call it, between moves, never during a search or with unmakes still pending: the
  // dropped records can no longer be unmade. The UCI loop calls it after each move of a
  // "position ... moves" list (and before a search starts), so the 1024-record stack never fills:
  // at most 255 records survive a trim, which leaves more room than any search can use.
  void trimHistory();

  // Legality queries (board/legality.cpp).
  bool canCastleKS(Color c) const;
  bool canCastleQS(Color c) const;
  bool isPseudoLegal(Move m) const;
  bool isLegal(Move m);
  bool quietGivesCheck(Move m) const;

  Square kingSquare(Color c) const { return lsb(pieces[c][King]); }
  Color pieceColor(Square s) const { return (byColor[Black] >> s) & 1 ? Black : White; }

  bool isAttacked(Square s, Color by) const {
    const u64* p = pieces[by];
    return (Attacks::pawnAttacks[by ^ 1][s] & p[Pawn]) || (Attacks::knightAttacks[s] & p[Knight]) ||
           (Attacks::kingAttacks[s] & p[King]) ||
           (bishopAttacks(s, occupied) & (p[Bishop] | p[Queen])) ||
           (rookAttacks(s, occupied) & (p[Rook] | p[Queen]));
  }

  u64 attackersTo(Square s, u64 occ) const {
    const u64 rq = pieces[White][Rook] | pieces[Black][Rook] | pieces[White][Queen] | pieces[Black][Queen];
    const u64 bq = pieces[White][Bishop] | pieces[Black][Bishop] | pieces[White][Queen] | pieces[Black][Queen];
    return (Attacks::pawnAttacks[Black][s] & pieces[White][Pawn]) |
           (Attacks::pawnAttacks[White][s] & pieces[Black][Pawn]) |
           (Attacks::knightAttacks[s] & (pieces[White][Knight] | pieces[Black][Knight])) |
           (rookAttacks(s, occ) & rq) | (bishopAttacks(s, occ) & bq) |
           (Attacks::kingAttacks[s] & (pieces[White][King] | pieces[Black][King]));
  }

  bool inCheck() const { return isAttacked(kingSquare(side), side ^ 1); }
};

// UCI move text.
std::string moveToString(Move m);
Move parseUCIMove(std::string_view text);

// After every move: rights &= kCastlingMask[from] & kCastlingMask[to].
extern const u8 kCastlingMask[64];
// By colour: the squares between king and rook that must be empty for castling, and the king's
// squares that must not be attacked (its own square included).
extern const u64 kCastleKingOcc[2];
extern const u64 kCastleKingSafe[2];
extern const u64 kCastleQueenOcc[2];
extern const u64 kCastleQueenSafe[2];

constexpr const char* kStartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// Start-up of the tables a Board reads: Zobrist keys, then the attack tables. Runs once per
// process; initEvalTables begins with it.
void initBoardTables();

// The hot piece updates and make/unmake, inline so that search and perft inline them.
#include "board/make_move.h"
