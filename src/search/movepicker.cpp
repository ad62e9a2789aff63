// Move ordering: staged generation so that an early cutoff spares the quiet-move generation.
#include "search/movepicker.h"

#include "movegen/see.h"
#include "search/thread.h"

namespace {

enum Stage : i32 {
  StageTT = 0,
  StageGenCaptures = 1,
  StageGoodCaptures = 2,
  StageGenQuiets = 3,
  StageQuiets = 4,
  StageBadCaptures = 5,
  StageDone = 6,
};

// Every real score is above this, so only the TT-move marker is skipped.
constexpr i32 kAnyScore = INT_MIN + 1;

// A selection key: the score above, and below it the inverted position in the generated list, so
// no two keys tie and the largest key is the move a stable sort would put first. The selection
// may then swap entries instead of sliding them: the order of what remains no longer matters.
constexpr int kIndexBits = 8;
static_assert(sizeof(MoveList::moves) / sizeof(Move) == 1 << kIndexBits);
inline i32 selectionKey(i32 score, int index) { return score * (1 << kIndexBits) + ((1 << kIndexBits) - 1 - index); }
// Scores stay well inside the range the shift leaves (captures about +-102,000, history +-16,384).
static_assert(kGoodCaptureFloor < (INT_MAX >> kIndexBits) - 2000);
constexpr i32 kGoodCaptureKeyFloor = kGoodCaptureFloor * (1 << kIndexBits);

// What the list stores: the key; below it a bit for a capture whose exchange test is still to
// come (its key assumes the test passes); below that the entry's current place in the list. The
// largest stored value then names its own place, so the selection is a plain maximum (which
// compiles to vector instructions) instead of a chain that carries the best place from entry to
// entry.
constexpr int kUnverifiedBit = kIndexBits, kKeyShift = kIndexBits + 1;
constexpr i64 kPlaceMask = (1 << kIndexBits) - 1;
constexpr i64 kUnverified = i64{1} << kUnverifiedBit;
inline i64 listed(i32 key, int place) { return static_cast<i64>(key) * (i64{1} << kKeyShift) | place; }
inline i32 keyOf(i64 entry) { return static_cast<i32>(entry >> kKeyShift); }
// The entry of a move scored when the list is built: its place is still its generated position.
inline i64 scored(i32 score, int index) { return listed(selectionKey(score, index), index); }
// A capture that loses the exchange drops from kCaptureBias above its MVV-LVA value to as far below.
constexpr i64 kLosingDrop = i64{2 * kCaptureBias} * (1 << kIndexBits) << kKeyShift;

}  // namespace

QuietChecks::QuietChecks(const Board& b) {
  const Color us = b.side, them = us ^ 1;
  const u64* own = b.pieces[us];
  king = b.kingSquare(them);
  // Only the square a piece lands on counts for a direct check: rays from the king do not cross,
  // so emptying the from square cannot open the ray the piece lands on (it could only if the piece
  // moved along a ray it already attacks the king on, and then the king would be in check now).
  const u64 diag = bishopAttacks(king, b.occupied), straight = rookAttacks(king, b.occupied);
  direct[Pawn] = Attacks::pawnAttacks[them][king];
  direct[Knight] = Attacks::knightAttacks[king];
  direct[Bishop] = diag;
  direct[Rook] = straight;
  direct[Queen] = diag | straight;
  direct[King] = Attacks::kingAttacks[king];  // only illegal moves land there, but they count alike
  u64 sliders = ((Attacks::rankMask[king] | Attacks::fileMask[king]) & (own[Rook] | own[Queen])) |
                ((Attacks::diagMask[king] | Attacks::adiagMask[king]) & (own[Bishop] | own[Queen]));
  while (sliders) {
    const u64 between = gBetweenBB[king][popLsb(sliders)] & b.occupied;
    if (between && !(between & (between - 1)) && (between & b.byColor[us])) uncovering |= between;
  }
}

MovePicker::MovePicker(const Thread& t, const Board& b, Move tt) : thread(&t), board(&b), ttMove(tt) {}

void MovePicker::scoreCaptures() {
  const Board& b = *board;
  for (int i = 0; i < captureEnd; ++i) {
    const Move m = moves.moves[i];
    if (m == ttMove) {
      keys[i] = listed(kSkipScore, i);
      continue;
    }
    if (isCapture(m)) {
      const Piece attacker = b.mailbox[moveFrom(m)];
      const Piece victim = moveFlag(m) == kFlagEnPassant ? Pawn : b.mailbox[moveTo(m)];
      const i32 v = kMVVLVA[attacker][victim];
      if (isPromotion(m))
        keys[i] = scored(v + kPromotionBonus + kCaptureBias, i);
      else if (SEE::kValue[attacker] <= SEE::kValue[victim])
        keys[i] = scored(v + kCaptureBias, i);  // taking an equal or bigger piece never needs the exchange test
      else
        keys[i] = scored(v + kCaptureBias, i) | kUnverified;  // tested when its turn comes
    } else {
      keys[i] = scored(kQuietPromotionScore, i);  // promotion without capture
    }
  }
}

void MovePicker::scoreQuiets() {
  const i32* hist = &thread->history[board->side][0][0];
  // Branch-free and on a flat index, so that it compiles to vector code with gathered history
  // loads (the TT move's entry is read too, then dropped).
  for (int i = quietStart; i < moves.size; ++i) {
    const Move m = moves.moves[i];
    const i32 h = hist[moveFrom(m) * 64 + moveTo(m)];
    const i64 key = scored(h < kQuietHistoryCap ? h : kQuietHistoryCap, i);
    keys[i] = m == ttMove ? listed(kSkipScore, i) : key;
  }
}

// Compacts the unreturned quiets in place; relative order is kept.
void MovePicker::filterQuiets() {
  const Board& b = *board;
  // The enemy king is never in check here in a real search; the slow test covers the case anyway.
  const bool kingAttacked = b.isAttacked(b.kingSquare(b.side ^ 1), b.side);
  const QuietChecks checks(b);
  int out = quietIndex;
  for (int i = quietIndex; i < moves.size; ++i) {
    const Move m = moves.moves[i];
    if (isCastling(m) || (kingAttacked ? b.quietGivesCheck(m) : checks.givesCheck(b, m))) {
      moves.moves[out] = m;
      keys[out] = (keys[i] & ~kPlaceMask) | out;
      ++out;
    }
  }
  moves.size = out;
}

// Place of the highest entry in [front, end), or -1 when its key is below floor.
int MovePicker::bestPlace(i32 front, i32 end, i32 floor) const {
  if (front >= end) return -1;
  i64 top = keys[front];
  for (int i = front + 1; i < end; ++i) top = keys[i] > top ? keys[i] : top;
  return keyOf(top) < floor ? -1 : static_cast<int>(top & kPlaceMask);
}

// Hands out the entry at place and moves the one at the front into its slot.
Move MovePicker::take(i32& front, int place) {
  const Move m = moves.moves[place];
  moves.moves[place] = moves.moves[front];
  keys[place] = (keys[front] & ~kPlaceMask) | place;
  ++front;
  return m;
}

Move MovePicker::selectBest(i32& front, i32 end, i32 floor) {
  const int place = bestPlace(front, end, floor);
  return place < 0 ? 0 : take(front, place);
}

// The next good capture. The exchange test runs only on the captures reached, in the order they
// would be tried: one that fails drops to its losing key and the selection goes on, so the order
// is the one that testing them all up front would give.
Move MovePicker::nextGoodCapture() {
  for (int place; (place = bestPlace(captureIndex, captureEnd, kGoodCaptureKeyFloor)) >= 0;) {
    i64& entry = keys[place];
    if (entry & kUnverified) {
      entry &= ~kUnverified;
      if (!seeGE(*board, moves.moves[place], 0)) {
        entry -= kLosingDrop;
        continue;
      }
    }
    return take(captureIndex, place);
  }
  return 0;
}

Move MovePicker::next() {
  switch (stage) {
    case StageTT:
      stage = StageGenCaptures;
      if (ttMove && board->isPseudoLegal(ttMove)) return ttMove;
      [[fallthrough]];
    case StageGenCaptures:
      generateCaptures(*board, moves);
      captureEnd = moves.size;
      scoreCaptures();
      stage = StageGoodCaptures;
      [[fallthrough]];
    case StageGoodCaptures:
      if (const Move m = nextGoodCapture()) return m;
      stage = StageGenQuiets;
      [[fallthrough]];
    case StageGenQuiets:
      quietStart = moves.size;
      generateQuiets(*board, moves);
      scoreQuiets();
      quietIndex = quietStart;
      if (dropFlag) filterQuiets();
      stage = StageQuiets;
      [[fallthrough]];
    case StageQuiets: {
      const i32 end = moves.size;
      if (const Move m = selectBest(quietIndex, end, kAnyScore)) return m;
      stage = StageBadCaptures;
      [[fallthrough]];
    }
    case StageBadCaptures:
      if (const Move m = selectBest(captureIndex, captureEnd, kAnyScore)) return m;
      stage = StageDone;
      [[fallthrough]];
    default:
      return 0;
  }
}

void MovePicker::dropLmpQuiets() {
  dropFlag = true;
  // Before generation the flag does the work; after the quiet stage there is nothing left to drop.
  if (stage == StageQuiets) filterQuiets();
}
