// Self-play data generation: random balanced openings, fixed-budget games with adjudication, one
// labelled text line per kept position.
#include "datagen/datagen.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <random>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "formats/data_line.h"
#include "movegen/movegen.h"
#include "search/search.h"
#include "search/thread.h"
#include "tt/tt.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr u64 kLightSquares = 0x55AA55AA55AA55AAULL;

// A game may be far longer than the undo stack (maxplies and randomplies are free settings), so
// the played moves are trimmed away once repetition detection can no longer see them.
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
  for (int attempt = 0; attempt < config.openingtries; ++attempt) {
    b.setFen(kStartFen);
    bool alive = true;
    for (int ply = 0; ply < config.randomplies; ++ply) {
      MoveList list;
      generateLegalMoves(b, list);
      if (list.size == 0) {
        alive = false;
        break;
      }
      makeGameMove(b, list.moves[randomIndex(gen, list.size)]);
    }
    if (!alive) continue;
    MoveList list;
    generateLegalMoves(b, list);
    if (list.size == 0) continue;

    thread.clearForSearch();
    thread.tt->clear();
    int score = 0;
    searchForDataGen(thread, config.maxdepth, config.nodes, score);
    if (std::abs(score) <= config.openingcap) return true;
  }
  return false;
}

// White's view, as the data line writes it.
double resultValue(GameResult r) {
  switch (r) {
    case GameResult::WhiteWin:
      return 1.0;
    case GameResult::BlackWin:
      return 0.0;
    default:
      return 0.5;
  }
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
  int ply = 0;
  int resignCount = 0;
  int resignSign = 0;
  int drawCount = 0;

  for (;;) {
    MoveList list;
    generateLegalMoves(b, list);
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

    // Plies from the start position, the opening's included.
    const int gamePly = 2 * (b.fullmoveNumber - 1) + (b.side == Black);
    const bool skip = (config.skipcheck && b.inCheck()) ||
                      (config.skipquiet && !isQuietMove(move)) || absScore >= config.evalcap ||
                      gamePly < config.minply;
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

void thinSamples(std::vector<Sample>& samples, int count, std::mt19937_64& gen) {
  if (count <= 0 || samples.size() <= static_cast<std::size_t>(count)) return;
  // A partial Fisher-Yates shuffle picks the indices; sorting them keeps the plies in order, so
  // the tuner still finds the game.
  const int n = static_cast<int>(samples.size());
  std::vector<int> order(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) order[static_cast<std::size_t>(i)] = i;
  for (int i = 0; i < count; ++i)
    std::swap(order[static_cast<std::size_t>(i)],
              order[static_cast<std::size_t>(i + randomIndex(gen, n - i))]);
  order.resize(static_cast<std::size_t>(count));
  std::sort(order.begin(), order.end());
  std::vector<Sample> kept;
  kept.reserve(order.size());
  for (const int i : order) kept.push_back(std::move(samples[static_cast<std::size_t>(i)]));
  samples = std::move(kept);
}

namespace {

// What one game adds to the file; skipped games (no acceptable opening) add nothing.
struct GameOutput {
  bool skipped = false;
  long long positions = 0;
  std::string text;
};

// Plays game g on the worker's own thread and table: the outcome depends on g and the settings
// alone, never on which worker plays it or what it played before.
GameOutput playIndexedGame(Thread& thread, const DataGenConfig& config, long long g,
                           std::vector<Sample>& samples) {
  GameOutput game;
  std::mt19937_64 gen(config.seed + static_cast<unsigned long long>(g));
  if (!findOpening(thread, config, gen)) {
    game.skipped = true;
    return game;
  }
  thread.clearForSearch();
  thread.tt->clear();
  samples.clear();
  const double result = resultValue(playDataGenGame(thread, config, samples));
  // The game's own generator, so the choice depends on the game alone, not on the worker.
  thinSamples(samples, config.sample, gen);
  for (const Sample& s : samples) DataLine::append(game.text, s.fen, result, config.score, s.score);
  game.positions = static_cast<long long>(samples.size());
  return game;
}

// Takes finished games from the workers in any order and writes them, with the progress lines, in
// game order, so the file and the messages are those of a single worker.
class OrderedWriter {
 public:
  OrderedWriter(std::ofstream& out, const DataGenConfig& config, long long window)
      : out_(out), config_(config), window_(window), start_(Clock::now()) {}

  // The next game index for a worker, or -1 when there is none left or writing failed. Blocks
  // while the worker would run too far ahead of the file, which bounds the games held in memory.
  long long claim() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (failed_ || next_ >= config_.games) return -1;
    const long long g = next_++;
    cv_.wait(lock, [&] { return failed_ || g < written_ + window_; });
    return failed_ ? -1 : g;
  }

  void commit(long long g, GameOutput&& game) {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.emplace(g, std::move(game));
    for (auto it = pending_.find(written_); it != pending_.end() && !failed_;
         it = pending_.find(written_)) {
      write(written_, it->second);
      pending_.erase(it);
      ++written_;
    }
    cv_.notify_all();
  }

  void fail() {
    std::lock_guard<std::mutex> lock(mutex_);
    failed_ = true;
    cv_.notify_all();
  }

  bool failed() const { return failed_.load(); }
  long long gamesWritten() const { return gamesWritten_; }
  long long positionsWritten() const { return positionsWritten_; }
  long long gamesSkipped() const { return gamesSkipped_; }
  Clock::time_point start() const { return start_; }

 private:
  void write(long long g, const GameOutput& game) {
    if (game.skipped) {
      ++gamesSkipped_;
      return;
    }
    out_.write(game.text.data(), static_cast<std::streamsize>(game.text.size()));
    // A full disk must not pass for a finished run: stop at the first failed write.
    if (!out_) {
      std::cerr << "datagen: помилка запису: " << config_.out << "\n";
      failed_ = true;
      return;
    }
    positionsWritten_ += game.positions;
    ++gamesWritten_;
    if (config_.progress > 0 && (g + 1) % config_.progress == 0) {
      out_.flush();
      const auto ns =
          std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start_).count();
      const auto ms = ns / 1000000;
      const double rate =
          ns > 999999 ? static_cast<double>(gamesWritten_) * 1000.0 / static_cast<double>(ms) : 0.0;
      std::cerr << "  " << (g + 1) << "/" << config_.games << " партій, " << positionsWritten_
                << " позицій, " << gamesSkipped_ << " відкинуто, " << rate << " партій/с\n";
    }
  }

  std::ofstream& out_;
  const DataGenConfig& config_;
  const long long window_;
  const Clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::map<long long, GameOutput> pending_;
  long long next_ = 0;     // the next game index to hand out
  long long written_ = 0;  // every game below this index is in the file (or skipped)
  std::atomic<bool> failed_{false};
  long long gamesWritten_ = 0;
  long long positionsWritten_ = 0;
  long long gamesSkipped_ = 0;
};

void workerLoop(Thread& thread, const DataGenConfig& config, OrderedWriter& writer) {
  std::vector<Sample> samples;
  for (long long g; (g = writer.claim()) >= 0;)
    writer.commit(g, playIndexedGame(thread, config, g, samples));
}

}  // namespace

int runDataGen(const DataGenConfig& config) {
  std::ofstream out(config.out, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!out.is_open()) {
    std::cerr << "datagen: не вдалося відкрити для запису: " << config.out << "\n";
    return 1;
  }
  const int workers = config.threads;
  std::cerr << "datagen: games=" << config.games << " out=" << config.out << " seed=" << config.seed
            << " nodes=" << config.nodes << " maxdepth=" << config.maxdepth
            << " randomplies=" << config.randomplies << " score=" << (config.score ? 1 : 0);
  if (workers != 1) std::cerr << " threads=" << workers;
  if (config.sample > 0) std::cerr << " sample=" << config.sample;
  if (config.minply > 0) std::cerr << " minply=" << config.minply;
  std::cerr << "\n";

  // The first worker plays on the calling thread with the global table; every other one gets a
  // table of the same size, since the size decides which entries survive and so the moves played.
  std::vector<std::unique_ptr<Thread>> threads;
  std::vector<std::unique_ptr<TranspositionTable>> tables;
  const auto mb = static_cast<std::size_t>(gTT.bucketCount() / TranspositionTable::kBucketsPerMb);
  try {
    for (int w = 0; w < workers; ++w) {
      threads.push_back(std::make_unique<Thread>(1));
      if (w == 0) continue;
      tables.push_back(std::make_unique<TranspositionTable>());
      if (!tables.back()->resize(mb)) throw std::bad_alloc();
      threads.back()->tt = tables.back().get();
    }
  } catch (const std::bad_alloc&) {
    std::cerr << "datagen: не вистачає пам'яті для threads=" << workers << "\n";
    return 1;
  } catch (const std::system_error&) {
    std::cerr << "datagen: не вдалося запустити потік для threads=" << workers << "\n";
    return 1;
  }

  OrderedWriter writer(out, config, 32LL * workers);
  std::vector<std::thread> helpers;
  for (int w = 1; w < workers; ++w) {
    try {
      helpers.emplace_back(workerLoop, std::ref(*threads[static_cast<std::size_t>(w)]),
                           std::cref(config), std::ref(writer));
    } catch (const std::system_error&) {
      std::cerr << "datagen: не вдалося запустити потік для threads=" << workers << "\n";
      writer.fail();
      break;
    }
  }
  if (!writer.failed()) workerLoop(*threads[0], config, writer);
  for (std::thread& h : helpers) h.join();
  if (writer.failed()) return 1;

  out.flush();
  if (!out) {
    std::cerr << "datagen: помилка запису: " << config.out << "\n";
    return 1;
  }
  std::cerr << "datagen: готово — " << writer.gamesWritten() << " партій, "
            << writer.positionsWritten() << " позицій, " << writer.gamesSkipped() << " відкинуто, "
            << elapsedSeconds(writer.start()) << " с\n";
  return 0;
}
