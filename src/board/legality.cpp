// Board's legality queries: castling tests, pseudo-legality of arbitrary move values (screens TT
// moves before they are made), make/test/unmake legality, and quiet-move check detection.
#include "board/board.h"

const u64 kCastleKingOcc[2] = {0x60ULL, 0x6000000000000000ULL};
const u64 kCastleKingSafe[2] = {0x70ULL, 0x7000000000000000ULL};
const u64 kCastleQueenOcc[2] = {0x0EULL, 0x0E00000000000000ULL};
const u64 kCastleQueenSafe[2] = {0x1CULL, 0x1C00000000000000ULL};

namespace {

constexpr u64 kRank2 = 0x000000000000FF00ULL;
constexpr u64 kRank7 = 0x00FF000000000000ULL;

// The king's own square is in the safe set, so castling out of check is refused; b1/b8 need only be
// empty. The right itself vouches for king and rook standing on their home squares.
bool castlePathClear(const Board& b, Color c, u64 occMask, u64 safeMask) {
  if (b.occupied & occMask) return false;
  for (u64 s = safeMask; s;)
    if (b.isAttacked(popLsb(s), c ^ 1)) return false;
  return true;
}

}  // namespace

bool Board::canCastleKS(Color c) const {
  return (castlingRights & (c == White ? 1 : 4)) && castlePathClear(*this, c, kCastleKingOcc[c], kCastleKingSafe[c]);
}

bool Board::canCastleQS(Color c) const {
  return (castlingRights & (c == White ? 2 : 8)) &&
         castlePathClear(*this, c, kCastleQueenOcc[c], kCastleQueenSafe[c]);
}

// True exactly for the values generateMoves would produce here (king safety aside). Every branch
// mirrors one generator rule, so the two must change together.
bool Board::isPseudoLegal(Move m) const {
  const Square from = moveFrom(m);
  const Square to = moveTo(m);
  const u32 flag = moveFlag(m);
  const Color us = side;
  const Color them = us ^ 1;

  if (m == 0 || from == to || flag == 6 || flag == 7) return false;
  if (!(byColor[us] & bb(from))) return false;
  const Piece p = mailbox[from];

  if (flag == kFlagKingCastle || flag == kFlagQueenCastle) {
    if (p != King || from != kingSquare(us)) return false;
    if (flag == kFlagKingCastle)
      return to == (us == White ? 6 : 62) && (castlingRights & (us == White ? 1 : 4)) &&
             castlePathClear(*this, us, kCastleKingOcc[us], kCastleKingSafe[us]);
    return to == (us == White ? 2 : 58) && (castlingRights & (us == White ? 2 : 8)) &&
           castlePathClear(*this, us, kCastleQueenOcc[us], kCastleQueenSafe[us]);
  }

  if (byColor[us] & bb(to)) return false;
  const bool captureBit = isCapture(m);
  const bool targetIsEnemy = (byColor[them] & bb(to)) != 0;

  if (p == Pawn) {
    const int forward = us == White ? 8 : -8;
    const bool onSeventh = (bb(from) & (us == White ? kRank7 : kRank2)) != 0;
    if (onSeventh != isPromotion(m)) return false;
    if (flag == kFlagEnPassant) return to == epSquare && (Attacks::pawnAttacks[them][to] & bb(from));
    if (!captureBit) {
      if (occupied & bb(to)) return false;
      if (flag == kFlagDoublePush)
        return (bb(from) & (us == White ? kRank2 : kRank7)) && to == from + 2 * forward &&
               mailbox[from + forward] == NoPiece;
      return to == from + forward;
    }
    return (Attacks::pawnAttacks[us][from] & bb(to)) && targetIsEnemy;
  }

  if (flag == kFlagDoublePush || flag == kFlagEnPassant || isPromotion(m)) return false;
  if (captureBit != targetIsEnemy) return false;
  switch (p) {
    case Knight:
      return (Attacks::knightAttacks[from] & bb(to)) != 0;
    case Bishop:
      return (bishopAttacks(from, occupied) & bb(to)) != 0;
    case Rook:
      return (rookAttacks(from, occupied) & bb(to)) != 0;
    case Queen:
      return (queenAttacks(from, occupied) & bb(to)) != 0;
    default:  // King (the only other type a square of ours can hold)
      return from == kingSquare(us) && (Attacks::kingAttacks[from] & bb(to));
  }
}

bool Board::isLegal(Move m) {
  const Color us = side;
  makeMove(m);
  const bool legal = !isAttacked(kingSquare(us), us ^ 1);
  unmakeMove(m);
  return legal;
}

// Sees both direct and discovered checks by moving the piece in copies of the sets. Castling counts
// as the king's move alone (a check by the castled rook is not reported); en passant and promotions
// are outside the contract.
bool Board::quietGivesCheck(Move m) const {
  const Color us = side;
  const Color them = us ^ 1;
  const Square k = kingSquare(them);
  const u64 fromTo = bb(moveFrom(m)) | bb(moveTo(m));
  const Piece moved = mailbox[moveFrom(m)];
  const u64 occ = occupied ^ fromTo;
  auto after = [&](Piece t) { return pieces[us][t] ^ (t == moved ? fromTo : 0); };

  return (Attacks::pawnAttacks[them][k] & after(Pawn)) || (Attacks::knightAttacks[k] & after(Knight)) ||
         (Attacks::kingAttacks[k] & after(King)) || (bishopAttacks(k, occ) & (after(Bishop) | after(Queen))) ||
         (rookAttacks(k, occ) & (after(Rook) | after(Queen)));
}
