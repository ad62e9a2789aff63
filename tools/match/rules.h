// The rules of a game as the manager applies them, all taken from the engine's own board and move
// generator: legality of a move, mate and stalemate, repetition, the fifty-move rule, dead
// positions, and move text in both directions (UCI and SAN).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "board/board.h"
#include "movegen/movegen.h"

namespace Match {

// The board and move tables; idempotent, called by every entry point before the first position.
void initRules();

enum class RuleEnd { None, Checkmate, Stalemate, Repetition, FiftyMoves, Material };

// One game from a starting position: the moves so far, the keys of every position reached (the
// opening's own moves included, so a repetition across the opening's end counts) and the legal
// moves of the side to move.
class GamePosition {
 public:
  bool setFen(std::string_view fen);
  const Board& board() const { return *board_; }
  std::string fen() const { return board_->fen(); }
  const MoveList& legal() const { return legal_; }

  // The legal move whose UCI text this is, or 0.
  Move fromUci(std::string_view text) const;
  // The legal move whose SAN this is (annotations !?+# and 0-0 spellings accepted), or 0.
  Move fromSan(std::string_view text) const;
  // SAN of a legal move in the current position, with the check or mate mark.
  std::string san(Move m) const;
  void play(Move m);

  // Whether the rules end the game here, and how.
  RuleEnd end() const;
  // The side has material that can give mate by some series of legal moves (a bare king cannot;
  // a lone minor piece cannot when the opponent has a bare king as well).
  bool canMate(Color c) const;

 private:
  u64 repetitionKey() const;
  void refresh();

  // Left uninitialised until setFen: zeroing the undo stack would cost more than a whole game.
  std::unique_ptr<Board> board_ = std::make_unique_for_overwrite<Board>();
  MoveList legal_;
  std::vector<u64> keys_;  // one per position since the last irreversible move, current last
};

}  // namespace Match
