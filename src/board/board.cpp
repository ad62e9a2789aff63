// Board set-up: reset, FEN reading and writing, history trimming, and the UCI move text.
#include "board/board.h"

#include <cstring>
#include <type_traits>

#include "text/numbers.h"

// Search threads and PV building copy the Board whole; it must stay one flat value.
static_assert(std::is_trivially_copyable_v<Board>);

const u8 kCastlingMask[64] = {
    0xFD, 0x0F, 0x0F, 0x0F, 0xFC, 0x0F, 0x0F, 0xFE,  // a1 (white Q), e1 (both white), h1 (white K)
    0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F,  //
    0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F,  //
    0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F,  //
    0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F,  //
    0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F,  //
    0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F,  //
    0xF7, 0x0F, 0x0F, 0x0F, 0xF3, 0x0F, 0x0F, 0xFB,  // a8 (black q), e8 (both black), h8 (black k)
};

void Board::reset() {
  for (auto& side_pieces : pieces)
    for (u64& b : side_pieces) b = 0;
  byColor[White] = byColor[Black] = 0;
  occupied = 0;
  for (i32& p : mailbox) p = NoPiece;
  side = White;
  epSquare = NoSquare;
  castlingRights = 0;
  halfmoveClock = 0;
  fullmoveNumber = 1;
  key = 0;
  pawnKey = 0;
  psqMg = psqEg = 0;
  nonPawnMaterial[White] = nonPawnMaterial[Black] = 0;
  phase = 0;
  historySize = 0;
}

u64 Board::computePawnKey() const {
  u64 k = 0;
  for (Color c = White; c <= Black; ++c)
    for (u64 b = pieces[c][Pawn]; b;) k ^= Zobrist::pieceSquare[c][Pawn][popLsb(b)];
  return k;
}

void Board::trimHistory() {
  const int keep = historySize < halfmoveClock ? historySize : halfmoveClock;
  // memmove semantics: the kept tail may overlap the front when keep > historySize / 2.
  std::memmove(history, history + (historySize - keep), sizeof(UndoRecord) * static_cast<size_t>(keep));
  historySize = keep;
}

namespace {

bool isSpace(char ch) {
  return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\f' || ch == '\v';
}

int pieceFromLetter(char lower) {
  static constexpr char kLetters[] = "pnbrqk";
  for (int p = Pawn; p <= King; ++p)
    if (kLetters[p] == lower) return p;
  return NoPiece;
}

struct PlacedPiece {
  Color color;
  Piece piece;
  Square square;
};

// Whether a colour's material could arise in a game: at most 8 pawns, and promoted pieces (those
// beyond 1 queen, 2 rooks, 2 bishops, 2 knights) no more than its missing pawns. Besides rejecting
// nonsense, this bounds the number of moves a position can have, which move lists rely on.
bool materialPossible(const int count[6]) {
  auto excess = [](int have, int base) { return have > base ? have - base : 0; };
  const int promoted = excess(count[Queen], 1) + excess(count[Rook], 2) + excess(count[Bishop], 2) +
                       excess(count[Knight], 2);
  const int total = count[Pawn] + count[Knight] + count[Bishop] + count[Rook] + count[Queen] + count[King];
  return total <= 16 && count[Pawn] <= 8 && promoted <= 8 - count[Pawn];
}

}  // namespace

bool Board::setFen(std::string_view fen) {
  // Split into tokens; only the first six matter.
  std::string_view tokens[6];
  int tokenCount = 0;
  for (size_t i = 0; i < fen.size() && tokenCount < 6;) {
    while (i < fen.size() && isSpace(fen[i])) ++i;
    const size_t start = i;
    while (i < fen.size() && !isSpace(fen[i])) ++i;
    if (i > start) tokens[tokenCount++] = fen.substr(start, i - start);
  }
  if (tokenCount < 4) return false;

  // Everything is validated into locals first: a failure here must leave the board untouched.
  PlacedPiece placed[64];
  int placedCount = 0;
  int rank = 7, file = 0;
  for (char ch : tokens[0]) {
    if (ch == '/') {
      if (file != 8 || rank == 0) return false;
      --rank;
      file = 0;
    } else if (ch >= '1' && ch <= '8') {
      file += ch - '0';
      if (file > 8) return false;
    } else {
      if (file == 8) return false;
      const bool black = ch >= 'a' && ch <= 'z';
      const Piece p = pieceFromLetter(black ? ch : static_cast<char>(ch - 'A' + 'a'));
      if (p == NoPiece) return false;
      placed[placedCount++] = {black ? Black : White, p, makeSquare(file, rank)};
      ++file;
    }
  }
  if (rank != 0 || file != 8) return false;

  Color newSide;
  if (tokens[1] == "w" || tokens[1] == "W")
    newSide = White;
  else if (tokens[1] == "b" || tokens[1] == "B")
    newSide = Black;
  else
    return false;

  int rights = 0;
  if (tokens[2] != "-") {
    if (tokens[2].size() > 4) return false;
    for (char ch : tokens[2]) {
      const int bit = ch == 'K' ? 1 : ch == 'Q' ? 2 : ch == 'k' ? 4 : ch == 'q' ? 8 : 0;
      if (bit == 0 || (rights & bit)) return false;
      rights |= bit;
    }
  }

  Square ep = NoSquare;
  if (tokens[3] != "-") {
    const std::string_view t = tokens[3];
    if (t.size() != 2 || t[0] < 'a' || t[0] > 'h' || t[1] < '1' || t[1] > '8') return false;
    ep = makeSquare(t[0] - 'a', t[1] - '1');
  }

  int halfmove = 0, fullmove = 1;
  if (tokenCount >= 5 && !parseCounter(tokens[4], halfmove)) return false;
  if (tokenCount >= 6 && !parseCounter(tokens[5], fullmove)) return false;
  if (halfmove > 100) halfmove = 100;
  if (fullmove < 1) fullmove = 1;

  int count[2][6] = {};
  for (int i = 0; i < placedCount; ++i) {
    const PlacedPiece& pp = placed[i];
    if (pp.piece == Pawn && (rankOf(pp.square) == 0 || rankOf(pp.square) == 7)) return false;
    ++count[pp.color][pp.piece];
  }
  for (Color c = White; c <= Black; ++c)
    if (count[c][King] != 1 || !materialPossible(count[c])) return false;

  // The text is sound: build the position.
  reset();
  for (int i = 0; i < placedCount; ++i) putPiece(placed[i].color, placed[i].piece, placed[i].square);

  side = newSide;
  if (side == Black) key ^= Zobrist::sideToMove;

  // Rights whose king or rook is not at home are dropped without complaint.
  auto has = [this](Color c, Piece p, Square s) { return (pieces[c][p] >> s) & 1; };
  if (!(has(White, King, 4) && has(White, Rook, 7))) rights &= ~1;
  if (!(has(White, King, 4) && has(White, Rook, 0))) rights &= ~2;
  if (!(has(Black, King, 60) && has(Black, Rook, 63))) rights &= ~4;
  if (!(has(Black, King, 60) && has(Black, Rook, 56))) rights &= ~8;
  castlingRights = static_cast<u8>(rights);
  key ^= Zobrist::castling[castlingRights];

  // Keep an en-passant square only if a double push could just have produced it.
  if (ep != NoSquare) {
    const int forward = side == White ? 8 : -8;  // toward the side not to move
    const bool ok = rankOf(ep) == (side == White ? 5 : 2) && mailbox[ep] == NoPiece &&
                    mailbox[ep + forward] == NoPiece && has(side ^ 1, Pawn, ep - forward);
    if (ok) {
      epSquare = ep;
      key ^= Zobrist::enPassant[fileOf(ep)];
    }
  }

  halfmoveClock = static_cast<u8>(halfmove);
  fullmoveNumber = fullmove;

  if (isAttacked(kingSquare(side ^ 1), side)) {
    reset();
    return false;
  }
  return true;
}

std::string Board::fen() const {
  static constexpr char kLetters[] = "pnbrqk";
  std::string out;
  for (int rank = 7; rank >= 0; --rank) {
    int empty = 0;
    for (int file = 0; file < 8; ++file) {
      const Square s = makeSquare(file, rank);
      if (mailbox[s] == NoPiece) {
        ++empty;
        continue;
      }
      if (empty) out += static_cast<char>('0' + empty);
      empty = 0;
      const char letter = kLetters[mailbox[s]];
      out += (byColor[Black] >> s) & 1 ? letter : static_cast<char>(letter - 'a' + 'A');
    }
    if (empty) out += static_cast<char>('0' + empty);
    if (rank > 0) out += '/';
  }
  out += side == White ? " w " : " b ";
  if (castlingRights == 0) out += '-';
  if (castlingRights & 1) out += 'K';
  if (castlingRights & 2) out += 'Q';
  if (castlingRights & 4) out += 'k';
  if (castlingRights & 8) out += 'q';
  out += ' ';
  if (epSquare == NoSquare) {
    out += '-';
  } else {
    out += static_cast<char>('a' + fileOf(epSquare));
    out += static_cast<char>('1' + rankOf(epSquare));
  }
  out += ' ';
  out += std::to_string(halfmoveClock);
  out += ' ';
  out += std::to_string(fullmoveNumber);
  return out;
}

std::string moveToString(Move m) {
  if (m == 0) return "0000";
  std::string out;
  for (Square s : {moveFrom(m), moveTo(m)}) {
    out += static_cast<char>('a' + fileOf(s));
    out += static_cast<char>('1' + rankOf(s));
  }
  if (isPromotion(m)) out += "nbrq"[moveFlag(m) & 3];
  return out;
}

Move parseUCIMove(std::string_view text) {
  if (text.size() < 4) return 0;
  for (int i = 0; i < 4; i += 2)
    if (text[i] < 'a' || text[i] > 'h' || text[i + 1] < '1' || text[i + 1] > '8') return 0;
  const Square from = makeSquare(text[0] - 'a', text[1] - '1');
  const Square to = makeSquare(text[2] - 'a', text[3] - '1');
  if (text.size() == 4) return encodeMove(from, to, kFlagQuiet);
  // Only lower-case promotion letters; anything after the fifth character is ignored.
  switch (text[4]) {
    case 'n': return encodeMove(from, to, kFlagPromoKnight);
    case 'b': return encodeMove(from, to, kFlagPromoBishop);
    case 'r': return encodeMove(from, to, kFlagPromoRook);
    case 'q': return encodeMove(from, to, kFlagPromoQueen);
    default: return 0;
  }
}

void initBoardTables() {
  static const bool done = [] {
    Zobrist::init();
    Attacks::init();
    return true;
  }();
  (void)done;
}
