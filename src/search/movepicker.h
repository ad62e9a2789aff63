// Staged move supplier of the main search: TT move, good captures, quiets by history, bad captures.
#pragma once

#include <climits>

#include "board/board.h"
#include "movegen/movegen.h"

class Thread;

// [attacker][victim]: most valuable victim first, then least valuable attacker.
inline constexpr i32 kMVVLVA[6][6] = {
    {105, 205, 305, 405, 505, 605}, {104, 204, 304, 404, 504, 604},
    {103, 203, 303, 403, 503, 603}, {102, 202, 302, 402, 502, 602},
    {101, 201, 301, 401, 501, 601}, {100, 200, 300, 400, 500, 600},
};

// The ordering bands, highest first. Quiescence and the self-check's reference order put the TT
// move on top with kTTMoveScore; a capture scores its MVV-LVA value (100..605) kCaptureBias above
// zero, or as far below when it loses the exchange, and a capture that promotes adds
// kPromotionBonus (so it leads every plain capture); a promotion without capture scores
// kQuietPromotionScore; a quiet move its history, capped at kQuietHistoryCap so that it never
// reaches the good captures, which begin at kGoodCaptureFloor.
inline constexpr i32 kTTMoveScore = 1000000;
inline constexpr i32 kCaptureBias = 100000;
inline constexpr i32 kPromotionBonus = 900;
inline constexpr i32 kQuietPromotionScore = 90000;
inline constexpr i32 kGoodCaptureFloor = 81000;
inline constexpr i32 kQuietHistoryCap = 77000;
static_assert(kQuietHistoryCap < kGoodCaptureFloor && kGoodCaptureFloor < kQuietPromotionScore &&
              kQuietPromotionScore < kCaptureBias);
// Marks the TT move inside a generated list; such an entry is never selected.
inline constexpr i32 kSkipScore = INT_MIN;

// The MVV-LVA value of a capture (en passant takes a pawn).
inline i32 mvvLva(const Board& b, Move m) {
  const Piece victim = moveFlag(m) == kFlagEnPassant ? Pawn : b.mailbox[moveTo(m)];
  return kMVVLVA[b.mailbox[moveFrom(m)]][victim];
}

// Inserts m with score s into the first n entries of moves and scores, which are in descending
// order: a stable insertion sort, so equal scores keep the order they were inserted in.
inline void insertByScore(Move* moves, i32* scores, int n, Move m, i32 s) {
  int j = n;
  while (j > 0 && scores[j - 1] < s) {
    scores[j] = scores[j - 1];
    moves[j] = moves[j - 1];
    --j;
  }
  scores[j] = s;
  moves[j] = m;
}

// Which quiet moves give check, for a side whose opponent is not in check: the squares from which
// each piece type would attack the enemy king, and our pieces that alone stand between one of our
// sliders and that king. Built once for a whole list of moves, it answers each in a few
// instructions with the same result as Board::quietGivesCheck (castling aside: that counts as the
// king's move, and so does it here).
struct QuietChecks {
  explicit QuietChecks(const Board& b);
  bool givesCheck(const Board& b, Move m) const {
    const Square from = moveFrom(m), to = moveTo(m);
    if (direct[b.mailbox[from]] & bb(to)) return true;
    // A piece leaving a slider's line to the king checks unless it stays on that line.
    return (uncovering & bb(from)) && !(lineThroughKing(from) & bb(to));
  }

 private:
  u64 lineThroughKing(Square s) const {
    const u64 f = bb(s);
    return Attacks::rankMask[king] & f   ? Attacks::rankMask[king]
           : Attacks::fileMask[king] & f ? Attacks::fileMask[king]
           : Attacks::diagMask[king] & f ? Attacks::diagMask[king]
                                         : Attacks::adiagMask[king];
  }

  Square king;
  u64 direct[6];
  u64 uncovering = 0;
};

class MovePicker {
 public:
  MovePicker(const Thread& thread, const Board& board, Move ttMove);

  // Next pseudo-legal move in order, 0 when exhausted (and on every later call).
  Move next();
  // Keep only castling and checking moves among the quiets not yet returned.
  void dropLmpQuiets();

 private:
  void scoreCaptures();
  void scoreQuiets();
  void filterQuiets();
  int bestPlace(i32 front, i32 end, i32 floor) const;
  Move take(i32& front, int place);
  Move selectBest(i32& front, i32 end, i32 floor);
  Move nextGoodCapture();

  bool dropFlag = false;
  const Thread* thread;
  const Board* board;
  Move ttMove;
  i32 stage = 0;
  MoveList moves;  // captures in [0, captureEnd), quiets appended after them
  i64 keys[256];  // selection key and list place of each entry (movepicker.cpp)
  i32 captureEnd = 0;
  i32 captureIndex = 0;
  i32 quietStart = -1;
  i32 quietIndex = 0;
};
