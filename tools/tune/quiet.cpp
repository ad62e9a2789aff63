// Quiescence search on single positions, for the tuner's --drop-noisy and --resolve.
#include "tools/tune/quiet.h"

#include "board/score.h"
#include "search/search.h"
#include "search/thread.h"
#include "tt/tt.h"

namespace TuneTool {

namespace {

// Every capture or promotion takes a piece off or turns a pawn into a piece, so a variation ends
// long before this; it only bounds the loop against a table that would say otherwise.
constexpr int kMaxResolvePlies = 64;

}  // namespace

QuietSearch::QuietSearch() : table_(std::make_unique<TranspositionTable>()) {
  // One bucket: the root's own result is the last one stored, so it is there to read back, and
  // clearing it for every position costs nothing. The search never touches the thread's history
  // or correction tables (only the main search updates them), so they stay zero.
  table_->resize(0);
  thread_ = std::make_unique<Thread>(1);
  thread_->tt = table_.get();
}

QuietSearch::~QuietSearch() = default;

Move QuietSearch::bestMove(Board& b) {
  table_->clear();
  quiesce(*thread_, b, -kInfinite, kInfinite, 0, 0);
  TTData entry{};
  return table_->probe(b.key, entry) ? entry.move : 0;
}

int QuietSearch::resolve(Board& b) {
  int plies = 0;
  for (Move m; plies < kMaxResolvePlies && (m = bestMove(b)) != 0; ++plies) b.makeMove(m);
  return plies;
}

}  // namespace TuneTool
