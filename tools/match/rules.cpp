// Rules of the game over the engine's Board and legal move generator.
#include "tools/match/rules.h"

namespace Match {

void initRules() { initBoardTables(); }

bool GamePosition::setFen(std::string_view fen) {
  initRules();
  if (!board_->setFen(fen)) return false;
  // A position the generator cannot be trusted with: a side without exactly one king, or the side
  // not to move in check.
  for (Color c : {White, Black})
    if (popcount(board_->pieces[c][King]) != 1) return false;
  if (board_->isAttacked(board_->kingSquare(board_->side ^ 1), board_->side)) return false;
  keys_.clear();
  refresh();
  return true;
}

void GamePosition::refresh() {
  legal_.size = 0;
  generateLegalMoves(*board_, legal_);
  keys_.push_back(repetitionKey());
}

// The board's key names an en-passant square after every double push; two positions are the same
// for repetition only when the same captures are possible, so the square counts only when an
// en-passant capture is legal.
u64 GamePosition::repetitionKey() const {
  u64 k = board_->key;
  if (board_->epSquare == NoSquare) return k;
  for (Move m : legal_)
    if (moveFlag(m) == kFlagEnPassant) return k;
  return k ^ Zobrist::enPassant[fileOf(board_->epSquare)];
}

Move GamePosition::fromUci(std::string_view text) const {
  const Move parsed = parseUCIMove(text);
  if (parsed == 0 || (text.size() != 4 && text.size() != 5)) return 0;
  for (Move m : legal_) {
    if ((m & 0xFFF) != (parsed & 0xFFF)) continue;
    if (isPromotion(m) != isPromotion(parsed)) continue;
    if (isPromotion(m) && promotedPiece(m) != promotedPiece(parsed)) continue;
    return m;
  }
  return 0;
}

namespace {

std::string_view stripAnnotations(std::string_view s) {
  while (!s.empty() && (s.back() == '+' || s.back() == '#' || s.back() == '!' || s.back() == '?'))
    s.remove_suffix(1);
  return s;
}

std::string squareName(Square s) {
  return {static_cast<char>('a' + fileOf(s)), static_cast<char>('1' + rankOf(s))};
}

}  // namespace

Move GamePosition::fromSan(std::string_view text) const {
  std::string want(stripAnnotations(text));
  for (char& c : want)
    if (c == '0') c = 'O';
  if (want.empty()) return 0;
  for (Move m : legal_)
    if (stripAnnotations(san(m)) == want) return m;
  // Promotions are also written without "=" (e8Q).
  if (want.size() >= 3 && want.find('=') == std::string::npos &&
      std::string_view("NBRQ").find(want.back()) != std::string_view::npos) {
    const char promoted = want.back();
    want.back() = '=';
    want.push_back(promoted);
    for (Move m : legal_)
      if (stripAnnotations(san(m)) == want) return m;
  }
  return 0;
}

std::string GamePosition::san(Move m) const {
  const Board& b = *board_;
  const Square from = moveFrom(m), to = moveTo(m);
  const Piece p = b.mailbox[from] % 6;
  std::string s;
  if (isCastling(m)) {
    s = moveFlag(m) == kFlagKingCastle ? "O-O" : "O-O-O";
  } else if (p == Pawn) {
    if (isCapture(m)) s += static_cast<char>('a' + fileOf(from)), s += 'x';
    s += squareName(to);
    if (isPromotion(m)) s += '=', s += "NBRQ"[promotedPiece(m) - Knight];
  } else {
    s += "PNBRQK"[p];
    // Disambiguation: the file when it tells the pieces apart, else the rank, else both.
    bool clash = false, sameFile = false, sameRank = false;
    for (Move o : legal_) {
      if (o == m || moveTo(o) != to || moveFrom(o) == from || b.mailbox[moveFrom(o)] % 6 != p) continue;
      clash = true;
      sameFile |= fileOf(moveFrom(o)) == fileOf(from);
      sameRank |= rankOf(moveFrom(o)) == rankOf(from);
    }
    if (clash) {
      if (!sameFile) s += static_cast<char>('a' + fileOf(from));
      else if (!sameRank) s += static_cast<char>('1' + rankOf(from));
      else s += squareName(from);
    }
    if (isCapture(m)) s += 'x';
    s += squareName(to);
  }
  // Made and unmade on the game's own board: a copy would carry the whole undo stack.
  Board& scratch = *board_;
  scratch.makeMove(m);
  if (scratch.inCheck()) {
    MoveList replies;
    generateLegalMoves(scratch, replies);
    s += replies.size == 0 ? '#' : '+';
  }
  scratch.unmakeMove(m);
  return s;
}

void GamePosition::play(Move m) {
  board_->makeMove(m);
  // The Board keeps undo records the game never needs; trimming keeps its stack from filling.
  board_->trimHistory();
  if (board_->halfmoveClock == 0) keys_.clear();
  refresh();
}

bool GamePosition::canMate(Color c) const {
  const u64* p = board_->pieces[c];
  if (p[Pawn] | p[Rook] | p[Queen]) return true;
  const int minors = popcount(p[Knight] | p[Bishop]);
  if (minors >= 2) return true;
  // A lone minor mates only with the opponent's own pieces walling its king in.
  const u64 theirs = board_->byColor[c ^ 1] & ~board_->pieces[c ^ 1][King];
  return minors == 1 && theirs != 0;
}

RuleEnd GamePosition::end() const {
  const Board& b = *board_;
  if (legal_.size == 0) return b.inCheck() ? RuleEnd::Checkmate : RuleEnd::Stalemate;
  if (b.halfmoveClock >= 100) return RuleEnd::FiftyMoves;
  int seen = 0;
  for (u64 k : keys_) seen += k == keys_.back();
  if (seen >= 3) return RuleEnd::Repetition;
  // Dead positions: no pawn, rook or queen, and at most one minor piece or only bishops all on
  // squares of one colour.
  const u64 heavy = b.pieces[White][Pawn] | b.pieces[Black][Pawn] | b.pieces[White][Rook] |
                    b.pieces[Black][Rook] | b.pieces[White][Queen] | b.pieces[Black][Queen];
  if (heavy) return RuleEnd::None;
  const u64 knights = b.pieces[White][Knight] | b.pieces[Black][Knight];
  const u64 bishops = b.pieces[White][Bishop] | b.pieces[Black][Bishop];
  if (popcount(knights | bishops) <= 1) return RuleEnd::Material;
  constexpr u64 kDark = 0xAA55AA55AA55AA55ULL;
  if (!knights && ((bishops & kDark) == 0 || (bishops & ~kDark) == 0)) return RuleEnd::Material;
  return RuleEnd::None;
}

}  // namespace Match
