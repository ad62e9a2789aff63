// FEN reading: whatever setFen accepts must write back a FEN that reads to the same position, keep
// its incremental keys and sums equal to a fresh build, evaluate, and survive moves made and
// unmade.
#include <cstdint>
#include <memory>
#include <string>

#include "eval/eval.h"
#include "fuzz_support.h"
#include "movegen/movegen.h"
#include "movegen/see.h"

namespace {

std::unique_ptr<Board> gBoardA, gBoardB;

// Everything a position derives from its pieces must equal what setFen builds from its FEN.
void checkAgainstFresh(const Board& b, Board& fresh) {
  std::string fen = b.fen();
  // A counter takes at most nine digits, and play from fullmove 999999999 writes ten: read the
  // position back with the largest counter a FEN can carry.
  if (b.fullmoveNumber > 999999999) fen = fen.substr(0, fen.rfind(' ') + 1) + "999999999";
  fuzzsupport::check(fresh.setFen(fen), "fen() of an accepted position reads back", fen);
  // setFen caps the halfmove clock at 100 while play may carry it further: compare the counters
  // only below that.
  const std::string got = fresh.fen();
  const auto fields4 = [](const std::string& f) {
    return f.substr(0, f.rfind(' ', f.rfind(' ') - 1));
  };
  fuzzsupport::check(b.halfmoveClock <= 100 ? got == fen : fields4(got) == fields4(fen),
                     "fen() round trip", fen);
  fuzzsupport::check(fresh.key == b.key, "hash key equals a fresh build", fen);
  fuzzsupport::check(fresh.pawnKey == b.pawnKey && b.pawnKey == b.computePawnKey(), "pawn key",
                     fen);
  fuzzsupport::check(fresh.psqMg == b.psqMg && fresh.psqEg == b.psqEg, "piece-square sums", fen);
  fuzzsupport::check(fresh.phase == b.phase && fresh.nonPawnMaterial[0] == b.nonPawnMaterial[0] &&
                         fresh.nonPawnMaterial[1] == b.nonPawnMaterial[1],
                     "phase and material", fen);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  initEvalTables();
  gBoardA = std::make_unique<Board>();
  gBoardB = std::make_unique<Board>();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Board& b = *gBoardA;
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (!b.setFen(text)) return 0;
  checkAgainstFresh(b, *gBoardB);
  const std::string root = b.fen();
  evaluate(b);

  MoveList moves;
  generateLegalMoves(b, moves);
  // A few moves, each with one reply, chosen by the input so that the fuzzer can steer them.
  const int tries = moves.size < 4 ? moves.size : 4;
  for (int i = 0; i < tries; ++i) {
    const Move m = moves.moves[(i + size) % static_cast<std::size_t>(moves.size)];
    seeGE(b, m, 0);
    b.makeMove(m);
    checkAgainstFresh(b, *gBoardB);
    MoveList replies;
    generateLegalMoves(b, replies);
    if (replies.size > 0) {
      const Move r = replies.moves[size % static_cast<std::size_t>(replies.size)];
      b.makeMove(r);
      checkAgainstFresh(b, *gBoardB);
      evaluate(b);
      b.unmakeMove(r);
    }
    b.unmakeMove(m);
    fuzzsupport::check(b.fen() == root, "unmake restores the position", root);
  }
  return 0;
}
