// quorvane-match: a match manager for UCI engines, the program that decides engine changes by games.
//
// This folder owns the manager: its command line, engine processes and clocks, openings, games,
// adjudication, PGN and JSON output, statistics and SPRT, shards and their merge. It uses the
// engine's board and move-generator libraries for every rule of chess (rules.h) and nothing above
// them: no search, evaluation or UCI code of the engine, which it only ever runs as a separate
// program. Everything but main() is in the library quorvane_matchlib, so tests drive it in-process.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/match/stats.h"

namespace Match {

using i64 = std::int64_t;

struct Limits {
  bool tcSet = false;
  bool infinite = false;   // tc=inf: no clock
  int tcMoves = 0;         // moves per period; 0: the whole game
  i64 baseMs = 0, incMs = 0;
  i64 moveTimeMs = 0;      // st=
  i64 nodes = 0;
  int depth = 0;
  i64 marginMs = 0;        // timemargin=: overrun allowed before a flag
  bool marginSet = false;

  bool clocked() const { return tcSet && !infinite; }
  bool timed() const { return clocked() || moveTimeMs > 0; }
  bool any() const { return timed() || nodes > 0 || depth > 0; }
  // The PGN TimeControl text: "40/60+0.5", "300+5", "-" when no clock.
  std::string pgnText() const;
};

struct EngineConfig {
  std::string name, cmd, dir;
  std::vector<std::string> args;
  std::vector<std::pair<std::string, std::string>> options;  // setoption name X value Y
  Limits limits;
};

struct Adjudication {
  bool draw = false;
  int drawMoveNumber = 0, drawMoveCount = 0, drawScore = 0;
  bool resign = false;
  int resignMoveCount = 0, resignScore = 0;
  bool twoSided = false;
};

struct OpeningSettings {
  std::string file;
  bool pgn = false;
  bool random = false;
  int plies = 0;   // 0: every move of a PGN opening
  int start = 1;   // the first opening used (1-based)
};

struct Settings {
  EngineConfig engines[2];
  OpeningSettings openings;
  i64 games = 0;                // total games of the whole run (all shards), even
  int concurrency = 1;
  SprtSettings sprt;
  std::string pgnOut, jsonOut, event = "quorvane-match";
  Adjudication adjudication;
  bool recover = false;
  std::uint64_t seed = 1;
  int shardIndex = 0, shardCount = 1;
  int ratingInterval = 10;
  int handshakeMs = 10000;      // uciok / readyok
  int stallMs = 60000;          // no bestmove: this long without a clock, or after a flag's stop
  bool debug = false;           // every line to and from the engines on standard error
  bool checkOnly = false;       // -check: the settings and the openings, then stop

  i64 pairs() const { return games / 2; }
};

// Fault kinds, in the order of the summary's counts.
enum class Fault { None, Illegal, Time, Crash, Stall, Disconnect };
constexpr int kFaultKinds = 5;
const char* faultKey(Fault f);  // "illegal", "time", "crash", "stall", "disconnect"

}  // namespace Match
