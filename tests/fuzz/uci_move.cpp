// UCI move text against a board: the first byte picks a position, the rest is the text. The text is
// matched as "position ... moves" matches it and a legal match is made and unmade; its first two
// bytes, read as a raw move, must be pseudo-legal exactly when generation produces that move (the
// transposition table hands the search such unchecked values).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "movegen/movegen.h"

namespace {

constexpr const char* kFens[] = {
    kStartFen,
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b KQkq - 0 1",
    "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
    "8/PPPk4/8/8/8/8/4Kppp/8 w - - 0 1",
    "8/PPPk4/8/8/8/8/4Kppp/8 b - - 0 1",
    "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3",
    "4k3/8/8/8/1b6/8/3P4/R3K2R w KQ - 0 1",
};
constexpr int kPositions = sizeof(kFens) / sizeof(kFens[0]);

std::unique_ptr<Board> gBoards[kPositions];

bool generated(const Board& b, Move m) {
  MoveList list;
  generateMoves(b, list);
  for (const Move x : list)
    if (x == m) return true;
  return false;
}

// The match of the UCI loop: the first generated move with the text's squares and, for a
// promotion text, the same promoted piece.
Move match(const Board& b, Move wanted) {
  MoveList list;
  generateMoves(b, list);
  for (const Move m : list) {
    if ((m & 0xFFF) != (wanted & 0xFFF)) continue;
    if (isPromotion(wanted) && (!isPromotion(m) || promotedPiece(m) != promotedPiece(wanted)))
      continue;
    return m;
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  initEvalTables();
  for (int i = 0; i < kPositions; ++i) {
    gBoards[i] = std::make_unique<Board>();
    fuzzsupport::check(gBoards[i]->setFen(kFens[i]), "seed position", kFens[i]);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  Board& b = *gBoards[data[0] % kPositions];
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

  if (text.size() >= 2) {
    const Move raw = static_cast<Move>(static_cast<std::uint8_t>(text[0]) |
                                       static_cast<std::uint8_t>(text[1]) << 8);
    fuzzsupport::check(b.isPseudoLegal(raw) == generated(b, raw),
                       "isPseudoLegal agrees with generation", moveToString(raw));
  }

  const Move wanted = parseUCIMove(text);
  if (wanted == 0) return 0;
  fuzzsupport::check(moveFrom(wanted) < 64 && moveTo(wanted) < 64, "parsed squares", text);
  const Move m = match(b, wanted);
  if (m == 0 || !b.isLegal(m)) return 0;
  const std::string before = b.fen();
  const u64 key = b.key;
  b.makeMove(m);
  fuzzsupport::check(!b.isAttacked(b.kingSquare(b.side ^ 1), b.side),
                     "a legal move leaves no king in check", text);
  b.unmakeMove(m);
  fuzzsupport::check(b.key == key && b.fen() == before, "unmake restores the position", text);
  return 0;
}
