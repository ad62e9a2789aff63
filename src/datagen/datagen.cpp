// Self-play data generation: random balanced openings, fixed-budget games with adjudication, one
// labelled text line per kept position.
#include "datagen/datagen.h"

#include <bit>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "movegen/movegen.h"
#include "search/search.h"
#include "thread/thread.h"
#include "tt/tt.h"

namespace {

using Clock = std::chrono::steady_clock;

// The undo stack holds kHistoryCapacity records; a game may be far longer (maxplies and
// randomplies are free settings), so the played moves are trimmed away once repetition detection
// can no longer see them, as the UCI loop does with long move lists.
constexpr int kTrimHistoryAt = 512;

constexpr u64 kLightSquares = 0x55AA55AA55AA55AAULL;

void legalMoves(Board& b, MoveList& list) {
  list.size = 0;
  MoveList pseudo;
  generateMoves(b, pseudo);
  for (const Move m : pseudo)
    if (b.isLegal(m)) list.add(m);
}

void makeGameMove(Board& b, Move m) {
  b.makeMove(m);
  if (b.historySize >= kTrimHistoryAt) b.trimHistory();
}

// Uniform index below n: low bits of 64-bit outputs, rejecting values of n or more.
int randomIndex(std::mt19937_64& gen, int n) {
  if (n == 1) return 0;
  const u64 mask = (u64{1} << std::bit_width(static_cast<unsigned>(n - 1))) - 1;
  for (;;) {
    const u64 v = gen() & mask;
    if (v < static_cast<u64>(n)) return static_cast<int>(v);
  }
}

// Leaves an accepted opening on thread.board; false when every attempt failed.
bool findOpening(Thread& thread, const DataGenConfig& config, std::mt19937_64& gen) {
  Board& b = thread.board;
  MoveList list;
  for (int attempt = 0; attempt < config.openingtries; ++attempt) {
    b.setFen(kStartFen);
    bool alive = true;
    for (int ply = 0; ply < config.randomplies; ++ply) {
      legalMoves(b, list);
      if (list.size == 0) {
        alive = false;
        break;
      }
      makeGameMove(b, list.moves[randomIndex(gen, list.size)]);
    }
    if (!alive) continue;
    legalMoves(b, list);
    if (list.size == 0) continue;

    thread.clearForSearch();
    gTT.clear();
    int score = 0;
    searchForDataGen(thread, config.maxdepth, config.nodes, score);
    if (std::abs(score) <= config.openingcap) return true;
  }
  return false;
}

const char* resultText(GameResult r) {
  switch (r) {
    case GameResult::WhiteWin:
      return "1.0";
    case GameResult::BlackWin:
      return "0.0";
    default:
      return "0.5";
  }
}

void appendInt(std::string& s, long long v) {
  char buf[24];
  const auto end = std::to_chars(buf, buf + sizeof(buf), v).ptr;
  s.append(buf, end);
}

double elapsedSeconds(Clock::time_point start) {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  return static_cast<double>(ms) / 1000.0;
}

}  // namespace

bool insufficientMaterial(const Board& b) {
  const u64 heavy = b.pieces[White][Pawn] | b.pieces[Black][Pawn] | b.pieces[White][Rook] |
                    b.pieces[Black][Rook] | b.pieces[White][Queen] | b.pieces[Black][Queen];
  if (heavy) return false;
  const u64 knights = b.pieces[White][Knight] | b.pieces[Black][Knight];
  const u64 bishops = b.pieces[White][Bishop] | b.pieces[Black][Bishop];
  const int minors = popcount(knights | bishops);
  if (minors < 2) return true;
  // Two bishops on one square colour cannot mate, whoever owns them.
  return minors == 2 && knights == 0 &&
         ((bishops & kLightSquares) == 0 || (bishops & ~kLightSquares) == 0);
}

GameResult playDataGenGame(Thread& thread, const DataGenConfig& config,
                           std::vector<Sample>& samples) {
  if (config.maxplies <= 0) return GameResult::Draw;
  Board& b = thread.board;
  // Only the game's own plies count: the opening's positions never enter the table.
  std::unordered_map<u64, int> seen;
  seen.reserve(512);
  MoveList list;
  int ply = 0;
  int resignCount = 0;
  int resignSign = 0;
  int drawCount = 0;

  for (;;) {
    legalMoves(b, list);
    if (list.size == 0) {
      if (!b.inCheck()) return GameResult::Draw;
      return b.side == White ? GameResult::BlackWin : GameResult::WhiteWin;
    }
    if (b.halfmoveClock >= 100) return GameResult::Draw;
    if (seen[b.key]++ >= 2) return GameResult::Draw;
    if (insufficientMaterial(b)) return GameResult::Draw;

    int score = 0;
    Move move = searchForDataGen(thread, config.maxdepth, config.nodes, score);
    if (move == 0) move = list.moves[0];
    const int whiteScore = b.side == Black ? -score : score;
    const int absScore = std::abs(score);

    const bool skip = (config.skipcheck && b.inCheck()) ||
                      (config.skipquiet && !isQuietMove(move)) || absScore >= config.evalcap;
    if (!skip) samples.push_back(Sample{b.fen(), whiteScore});

    if (absScore >= config.resign) {
      const int sign = whiteScore < 1 ? -1 : 1;
      resignCount = sign == resignSign ? resignCount + 1 : 1;
      if (resignCount >= config.resignplies)
        return sign < 0 ? GameResult::BlackWin : GameResult::WhiteWin;
      resignSign = sign;
    } else {
      resignCount = 0;
      resignSign = 0;
    }

    if (ply >= config.drawmin && absScore <= config.draw) {
      if (++drawCount >= config.drawplies) return GameResult::Draw;
    } else {
      drawCount = 0;
    }

    makeGameMove(b, move);
    if (++ply >= config.maxplies) return GameResult::Draw;
  }
}

int runDataGen(const DataGenConfig& config) {
  std::ofstream out(config.out, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!out.is_open()) {
    std::cerr << "datagen: не вдалося відкрити для запису: " << config.out << "\n";
    return 1;
  }
  std::cerr << "datagen: games=" << config.games << " out=" << config.out << " seed=" << config.seed
            << " nodes=" << config.nodes << " maxdepth=" << config.maxdepth
            << " randomplies=" << config.randomplies << " score=" << (config.score ? 1 : 0) << "\n";

  auto thread = std::make_unique<Thread>(1);
  const auto start = Clock::now();
  long long gamesWritten = 0;
  long long positionsWritten = 0;
  long long gamesSkipped = 0;
  std::vector<Sample> samples;
  std::string line;

  for (long long g = 0; g < config.games; ++g) {
    std::mt19937_64 gen(config.seed + static_cast<unsigned long long>(g));
    if (!findOpening(*thread, config, gen)) {
      ++gamesSkipped;
      continue;
    }
    thread->clearForSearch();
    gTT.clear();
    samples.clear();
    const char* result = resultText(playDataGenGame(*thread, config, samples));

    for (const Sample& s : samples) {
      line.assign(s.fen);
      line += " [";
      line += result;
      line += ']';
      if (config.score) {
        line += " [";
        appendInt(line, s.score);
        line += ']';
      }
      line += '\n';
      out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
    // A full disk must not pass for a finished run: stop at the first failed write.
    if (!out) {
      std::cerr << "datagen: помилка запису: " << config.out << "\n";
      return 1;
    }
    positionsWritten += static_cast<long long>(samples.size());
    ++gamesWritten;

    if (config.progress > 0 && (g + 1) % config.progress == 0) {
      out.flush();
      const auto ns =
          std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
      const auto ms = ns / 1000000;
      const double rate =
          ns > 999999 ? static_cast<double>(gamesWritten) * 1000.0 / static_cast<double>(ms) : 0.0;
      std::cerr << "  " << (g + 1) << "/" << config.games << " партій, " << positionsWritten
                << " позицій, " << gamesSkipped << " відкинуто, " << rate << " партій/с\n";
    }
  }

  out.flush();
  if (!out) {
    std::cerr << "datagen: помилка запису: " << config.out << "\n";
    return 1;
  }
  std::cerr << "datagen: готово — " << gamesWritten << " партій, " << positionsWritten
            << " позицій, " << gamesSkipped << " відкинуто, " << elapsedSeconds(start) << " с\n";
  return 0;
}
