// Static exchange evaluation: a threshold test on the capture sequence at one square, each side
// recapturing with its least valuable attacker and free to stop.
#include "movegen/see.h"

namespace SEE {
const int kValue[7] = {100, 320, 330, 500, 900, 10000, 0};
}

bool seeGE(const Board& b, Move m, int threshold) {
  // Promotions change material by more than the exchange models; treat them as break-even.
  if (isPromotion(m)) return threshold <= 0;

  const Square from = moveFrom(m);
  const Square to = moveTo(m);
  const Color us = b.side;
  u64 occ = b.occupied ^ bb(from) ^ bb(to);

  int gain;
  if (moveFlag(m) == kFlagEnPassant) {
    occ ^= bb(us == White ? to - 8 : to + 8);
    gain = 100;
  } else {
    gain = SEE::kValue[b.mailbox[to]];
  }

  // swap is what the side to move must still win back; most captures are decided right here.
  int swap = gain - threshold;
  if (swap < 0) return false;
  swap = SEE::kValue[b.mailbox[from]] - swap;
  if (swap <= 0) return true;

  const u64 bishops = b.pieces[White][Bishop] | b.pieces[Black][Bishop] | b.pieces[White][Queen] |
                      b.pieces[Black][Queen];
  const u64 rooks =
      b.pieces[White][Rook] | b.pieces[Black][Rook] | b.pieces[White][Queen] | b.pieces[Black][Queen];
  u64 attackers = b.attackersTo(to, occ) & occ;
  Color stm = us;
  int res = 1;

  while (true) {
    stm ^= 1;
    attackers &= occ;
    const u64 stmAttackers = attackers & b.byColor[stm];
    if (!stmAttackers) break;
    res ^= 1;

    u64 bbx;
    // Removing a capturer from occ may uncover a slider behind it on the same line (x-ray).
    if ((bbx = stmAttackers & b.pieces[stm][Pawn])) {
      if ((swap = SEE::kValue[Pawn] - swap) < res) break;
      occ ^= bbx & (0 - bbx);
      attackers |= bishopAttacks(to, occ) & bishops;
    } else if ((bbx = stmAttackers & b.pieces[stm][Knight])) {
      if ((swap = SEE::kValue[Knight] - swap) < res) break;
      occ ^= bbx & (0 - bbx);
    } else if ((bbx = stmAttackers & b.pieces[stm][Bishop])) {
      if ((swap = SEE::kValue[Bishop] - swap) < res) break;
      occ ^= bbx & (0 - bbx);
      attackers |= bishopAttacks(to, occ) & bishops;
    } else if ((bbx = stmAttackers & b.pieces[stm][Rook])) {
      if ((swap = SEE::kValue[Rook] - swap) < res) break;
      occ ^= bbx & (0 - bbx);
      attackers |= rookAttacks(to, occ) & rooks;
    } else if ((bbx = stmAttackers & b.pieces[stm][Queen])) {
      if ((swap = SEE::kValue[Queen] - swap) < res) break;
      occ ^= bbx & (0 - bbx);
      attackers |= (bishopAttacks(to, occ) & bishops) | (rookAttacks(to, occ) & rooks);
    } else {
      // Only the king is left: it may take only if the other side has nothing more to recapture with.
      return (attackers & occ & b.byColor[stm ^ 1]) ? !res : res;
    }
  }
  return res != 0;
}

int see(const Board& b, Move m) {
  int lo, hi;
  if (seeGE(b, m, 0)) {
    lo = 0;
    hi = 1800;
  } else {
    lo = -1800;
    hi = 0;
  }
  // Largest threshold that still passes; (lo + hi + 1) / 2 truncates toward zero, which rounds up
  // for negative sums too, so mid always lies in (lo, hi].
  while (lo < hi) {
    const int mid = (lo + hi + 1) / 2;
    if (seeGE(b, m, mid))
      lo = mid;
    else
      hi = mid - 1;
  }
  return lo;
}
