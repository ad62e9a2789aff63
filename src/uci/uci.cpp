// The UCI loop: reads commands, keeps the game position and the options, hands searches to the pool.
#include "uci/uci.h"

#include <algorithm>
#include <iostream>
#include <sstream>
#include <string>

#include "movegen/movegen.h"
#include "movegen/perft.h"
#include "search/search.h"
#include "search/thread.h"
#include "timeman/timeman.h"
#include "tt/tt.h"
#include "uci/sysmem.h"
#include "uci/version.h"

Board gPos;

namespace {

constexpr int kMaxHashMb = 65536;
constexpr int kMaxThreads = 256;
constexpr int kMaxMoveOverhead = 5000;

// Anything that changes what a search reads waits for the running one to print its "bestmove".
void stopSearch() {
  gStopSearch = true;
  gThreads.waitForSearchFinished();
}

// Builds the pool of gThreadCount threads. A system that refuses some leaves the pool with those it
// gave; the engine plays on with them and says how many.
void resizePool() {
  const std::size_t made = gThreads.set(static_cast<unsigned long>(gThreadCount));
  if (made < static_cast<std::size_t>(gThreadCount))
    infoString("threads: система не дала створити всі потоки пошуку — працює " +
               std::to_string(made) + " з " + std::to_string(gThreadCount));
}

void handleUci() {
  // One write, like every reply: "uci" may arrive while the search threads print.
  std::cout << (std::string("id name ") + kEngineId +
                "\n"
                "id author the Quorvane developers\n"
                "option name Hash type spin default 64 min 1 max 65536\n"
                "option name Threads type spin default 1 min 1 max 256\n"
                "option name Move Overhead type spin default 10 min 0 max 5000\n"
                "uciok\n")
            << std::flush;
}

void handleSetOption(std::istringstream& is) {
  std::string token;
  is >> token;  // "name", by the protocol; not checked

  std::string name;
  while (is >> token && token != "value") name += (name.empty() ? "" : " ") + token;
  std::string value;
  while (is >> token) value += (value.empty() ? "" : " ") + token;

  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (name != "hash" && name != "threads" && name != "move overhead") return;

  int v = 0;
  if (!parseIntStrict(value, v)) {
    infoString("setoption " + name + ": некоректне значення \"" + value + "\" — опцію не змінено");
    return;
  }

  if (name == "hash") {
    std::uint64_t mb = static_cast<std::uint64_t>(std::clamp(v, 1, kMaxHashMb));
    // Inside a container the group's limit, not the machine, decides when zeroing the table kills
    // us.
    const std::uint64_t phys = SysMem::usableBytes();
    const std::uint64_t capped = SysMem::clampHashMb(mb, phys);
    if (capped < mb) {
      infoString(hashCapMessage(mb, phys, capped));
      mb = capped;
    }
    stopSearch();
    if (!gTT.resize(static_cast<std::size_t>(mb)))
      infoString("setoption hash: не вдалося виділити " + std::to_string(mb) +
                 " МБ — лишається попередній розмір");
  } else if (name == "threads") {
    stopSearch();
    gThreadCount = std::clamp(v, 1, kMaxThreads);
    resizePool();
  } else {
    // Read by the running search on the fly; no need to stop it.
    gMoveOverhead = std::clamp(v, 0, kMaxMoveOverhead);
  }
}

// The first generated move with the text's squares (and, for a promotion text, the same promoted
// piece) that is also legal; 0 when there is none.
Move findGameMove(Board& b, std::string_view text) {
  const Move wanted = parseUCIMove(text);
  if (wanted == 0) return 0;
  MoveList list;
  generateMoves(b, list);
  for (const Move m : list) {
    if ((m & 0xFFF) != (wanted & 0xFFF)) continue;
    if (isPromotion(wanted) && (!isPromotion(m) || promotedPiece(m) != promotedPiece(wanted))) continue;
    return b.isLegal(m) ? m : 0;
  }
  return 0;
}

void handlePosition(std::istringstream& is) {
  stopSearch();

  std::string token;
  if (!(is >> token)) {
    infoString("position: очікувалось startpos або fen — позицію не змінено");
    return;
  }

  // Built aside and copied in whole, so a rejected command leaves gPos untouched. Static because a
  // Board with its undo stack is large for a stack frame, and only this thread comes here.
  static Board board;
  if (token == "startpos") {
    board.setFen(kStartFen);
    if (!(is >> token)) token.clear();
  } else if (token == "fen") {
    std::string fen;
    token.clear();
    for (std::string t; is >> t;) {
      if (t == "moves") {
        token = t;
        break;
      }
      fen += (fen.empty() ? "" : " ") + t;
    }
    if (fen.empty()) {
      infoString("position fen: порожній FEN — позицію не змінено");
      return;
    }
    if (!board.setFen(fen)) {
      infoString("position fen: некоректний FEN \"" + fen + "\" — позицію не змінено");
      return;
    }
  } else {
    infoString("position: невідомий аргумент \"" + token + "\" — позицію не змінено");
    return;
  }

  if (token == "moves") {
    // A bad move keeps the legal prefix: the moves before it stay made.
    for (std::string text; is >> text;) {
      const Move m = findGameMove(board, text);
      if (m == 0) {
        infoString("position moves: хід \"" + text + "\" нелегальний у цій позиції — решту ходів пропущено");
        break;
      }
      board.makeMove(m);
      if (board.historySize >= kTrimHistoryAt) board.trimHistory();
    }
  }
  // The search adds its plies on top of the game's records: hand it only the reachable ones.
  board.trimHistory();
  gPos = board;
}

// Plain formatted extraction: a value that is not a number reads as 0 and one out of range as the
// nearest limit; either leaves the stream failed, which ends the reading, and the search starts. A
// missing value reads as 0 too (extraction at the end of the line would leave the default).
template <class T>
void readGoValue(std::istream& is, T& field) {
  if ((is >> std::ws).eof())
    field = 0;
  else
    is >> field;
}

void handleGo(std::istringstream& is) {
  stopSearch();

  SearchLimits limits;
  for (std::string token; is >> token;) {
    if (token == "depth")
      readGoValue(is, limits.depth);
    else if (token == "movetime")
      readGoValue(is, limits.movetime);
    else if (token == "wtime" || token == "btime") {
      const Color c = token == "wtime" ? White : Black;
      readGoValue(is, c == White ? limits.wtime : limits.btime);
      limits.clockGiven[c] = true;
    } else if (token == "winc")
      readGoValue(is, limits.winc);
    else if (token == "binc")
      readGoValue(is, limits.binc);
    else if (token == "movestogo")
      readGoValue(is, limits.movestogo);
    else if (token == "nodes")
      readGoValue(is, limits.nodes);
    else if (token == "infinite") limits.infinite = true;
  }
  // Without a single search thread (the system refused even one) there is still an answer to give.
  if (gThreads.size() == 0) resizePool();
  if (gThreads.size() == 0) {
    std::cout << "bestmove 0000\n" << std::flush;
    return;
  }
  gThreads.startThinking(gPos, limits);
}

// Divided move count of gPos; a running search is left alone since it works on its own copies.
void handlePerft(std::istringstream& is) {
  int depth = 1;
  std::string token;
  if (is >> token) depth = extractInt(token);  // "x" reads as 0, "3x" as 3
  // The counter ends only at depth 0, and each ply takes one undo record on top of the game's.
  const int maxDepth = kHistoryCapacity - gPos.historySize;
  if (depth < 1 || depth > maxDepth) {
    infoString("perft: глибина має бути цілим числом від 1 до " + std::to_string(maxDepth) +
               " — команду пропущено");
    return;
  }
  // Gathered first and written in one piece, so a running search cannot cut into the lines.
  std::ostringstream out;
  perftDivide(gPos, depth, out);
  std::cout << out.str() << std::flush;
}

void handleBenchSearch(std::istringstream& is) {
  stopSearch();
  std::string token;
  is >> token;
  const int depth = extractInt(token);  // absent or not a number: 0, the benchmark's default depth
  if (!runBenchSearch(depth))
    infoString("benchsearch: не вдалося створити потік пошуку — команду пропущено");
}

}  // namespace

// Every reply goes out as one whole line per write: search threads print at the same time, and the
// stream keeps single writes apart but not the pieces of a chained one.
void infoString(std::string_view text) {
  std::cout << ("info string " + std::string(text) + "\n") << std::flush;
  std::cerr << (std::string(text) + "\n") << std::flush;
}

std::string hashCapMessage(std::uint64_t requestedMb, std::uint64_t physicalBytes, std::uint64_t cappedMb) {
  return "setoption hash: " + std::to_string(requestedMb) + " МБ — більше за 3/4 фізичної RAM (" +
         std::to_string(physicalBytes >> 20) + " МБ); використано " + std::to_string(cappedMb) + " МБ";
}

bool uciCommand(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
    line.remove_suffix(1);
  if (line.empty()) return true;

  std::istringstream is{std::string(line)};
  std::string cmd;
  if (!(is >> cmd)) return true;

  if (cmd == "uci") {
    handleUci();
  } else if (cmd == "isready") {
    // GUIs ask after setting Hash and before a game, and wait: an idle engine brings a new
    // table's pages in first, so the first search is not stalled by them. A search in progress
    // is answered at once.
    if (gThreads.size() == 0 || !gThreads[0].isSearching()) gTT.prefault();
    std::cout << "readyok\n" << std::flush;
  } else if (cmd == "ucinewgame") {
    stopSearch();
    gTT.clear();
    gPos.setFen(kStartFen);
  } else if (cmd == "setoption") {
    handleSetOption(is);
  } else if (cmd == "position") {
    handlePosition(is);
  } else if (cmd == "go") {
    handleGo(is);
  } else if (cmd == "stop") {
    stopSearch();
  } else if (cmd == "quit") {
    return false;
  } else if (cmd == "perft") {
    handlePerft(is);
  } else if (cmd == "benchsearch") {
    handleBenchSearch(is);
  } else if (cmd == "d") {
    std::cout << ("fen: " + gPos.fen() + "\n") << std::flush;
  }
  // Anything else is not ours: ignored without a word, as the protocol asks.
  return true;
}

void uciLoop() {
  resizePool();
  gPos.setFen(kStartFen);

  std::string line;
  while (std::getline(std::cin, line))
    if (!uciCommand(line)) break;

  // "quit" or the end of input: a running search still prints its move before we return.
  stopSearch();
}
