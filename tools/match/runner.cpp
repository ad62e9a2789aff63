// The match: workers, games, outputs, signals.
#include "tools/match/runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string_view>
#include <thread>
#include <vector>

#include "tools/match/engine.h"
#include "tools/match/json.h"
#include "tools/match/openings.h"
#include "tools/match/rules.h"
#include "tools/match/summary.h"

namespace Match {

namespace {

// Signal handling: the handler records the signal and makes the stop pipe readable, which wakes
// every wait of every worker at once.
std::atomic<int> gSignal{0};
std::atomic<int> gStopWriteFd{-1};

extern "C" void onSignal(int sig) {
  gSignal = sig;
  const int fd = gStopWriteFd.load();
  if (fd >= 0) (void)!::write(fd, "x", 1);
  ::signal(sig, SIG_DFL);  // a second Ctrl-C ends the manager at once
}

constexpr int kMateScore = 30000;

struct MoveRecord {
  std::string san, uci, comment;
};

struct GameRecord {
  i64 pair = 0, number = 0;
  int white = 0;  // engine index playing White
  const Opening* opening = nullptr;
  std::vector<MoveRecord> moves;  // book moves first
  std::string result = "*", reason, termination = "normal";
  Fault fault = Fault::None;
  int faultEngine = -1;
  bool engineLost[2] = {false, false};  // the process must be restarted
  double firstScore() const {  // the first engine's points
    const double whitePoints = result == "1-0" ? 1 : result == "0-1" ? 0 : 0.5;
    return white == 0 ? whitePoints : 1 - whitePoints;
  }
};

std::string today() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&t, &tm);
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y.%m.%d", &tm);
  return buf;
}

std::string hostName() {
  char buf[256] = {};
  if (::gethostname(buf, sizeof buf - 1) != 0 || !buf[0]) return "?";
  return buf;
}

std::string scoreText(int cp, bool mate, int mateIn) {
  char buf[32];
  if (mate) std::snprintf(buf, sizeof buf, "%sM%d", mateIn > 0 ? "+" : "-", std::abs(mateIn));
  else std::snprintf(buf, sizeof buf, "%+.2f", cp / 100.0);
  return buf;
}

// The word starting at or after pos.
std::string nextWord(const std::string& line, std::size_t pos) {
  const std::size_t b = line.find_first_not_of(' ', pos);
  if (b == std::string::npos) return {};
  const std::size_t e = line.find(' ', b);
  return line.substr(b, e == std::string::npos ? std::string::npos : e - b);
}

// The depth and score of an "info" line, where it has them. Scanned by hand: an engine sends
// several a move, and this is the manager's busiest code.
void readInfo(const std::string& line, int& depth, bool& haveScore, bool& mate, int& mateIn, int& cp) {
  std::size_t p = 5;
  auto word = [&]() -> std::string_view {
    const std::size_t b = line.find_first_not_of(' ', p);
    if (b == std::string::npos) return p = line.size(), std::string_view();
    std::size_t e = line.find(' ', b);
    if (e == std::string::npos) e = line.size();
    p = e;
    return std::string_view(line).substr(b, e - b);
  };
  auto number = [](std::string_view w, int& out) {
    const char* end = w.data() + w.size();
    return std::from_chars(w.data(), end, out).ptr == end && !w.empty();
  };
  for (std::string_view w = word(); !w.empty(); w = word()) {
    if (w == "depth") {
      number(word(), depth);
    } else if (w == "score") {
      const std::string_view kind = word();
      int v = 0;
      if ((kind == "cp" || kind == "mate") && number(word(), v)) {
        haveScore = true;
        mate = kind == "mate";
        if (mate) mateIn = v, cp = v > 0 ? kMateScore - v : -kMateScore - v;
        else cp = v;
      }
    } else if (w == "pv" || w == "string") {
      break;  // moves or free text follow
    }
  }
}

class Runner {
 public:
  Runner(const Settings& s, std::vector<Opening> openings) : s_(s), openings_(std::move(openings)) {
    for (i64 p = s.shardIndex; p < s.pairs(); p += s.shardCount) pairs_.push_back(p);
    summary_.names[0] = s.engines[0].name;
    summary_.names[1] = s.engines[1].name;
    summary_.sprt = s.sprt;
    summary_.shardIndex = s.shardIndex;
    summary_.shardCount = s.shardCount;
    summary_.pairsPlanned = static_cast<i64>(pairs_.size());
    summary_.identity = identity();
    summary_.settingsJson = settingsJson();
    date_ = today();
    site_ = hostName();
  }

  int run(int pgnFd);

 private:
  std::string identity() const;
  std::string settingsJson() const;
  void worker();
  bool startEngine(EngineProcess& e, int index);
  // Plays one game; false when the match was stopped during it (the game is then dropped).
  bool playGame(EngineProcess* engines, GameRecord& g);
  void finishGame(GameRecord& g, const GameRecord* firstOfPair);
  std::string pgnText(const GameRecord& g) const;
  std::string gameJson(const GameRecord& g) const;
  void requestStop() {
    if (!stopping_.exchange(true)) {
      const int fd = gStopWriteFd.load();
      if (fd >= 0) (void)!::write(fd, "x", 1);
    }
  }
  bool stopped() const { return stopping_ || gSignal != 0; }
  void writeJson(bool final);

  const Settings& s_;
  std::vector<Opening> openings_;
  Opening startOpening_{kStartFen, {}, true};
  std::vector<i64> pairs_;
  std::atomic<std::size_t> nextPair_{0};
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;  // everything below
  Summary summary_;
  int pgnFd_ = -1;
  bool fatal_ = false, faultStop_ = false;
  std::string fatalMessage_;
  std::string date_, site_;
};

std::string Runner::identity() const {
  std::ostringstream o;
  for (const auto& e : s_.engines) {
    const Limits& l = e.limits;
    o << e.name << '|' << l.pgnText() << '|' << l.infinite << '|' << l.nodes << '|' << l.depth << '|' << l.marginMs << '|';
  }
  o << s_.games << '|' << s_.seed << '|' << s_.openings.file << '|' << s_.openings.pgn << s_.openings.random << '|'
    << s_.openings.plies << '|' << s_.openings.start << '|';
  if (s_.sprt.enabled)
    o << s_.sprt.elo0 << ',' << s_.sprt.elo1 << ',' << s_.sprt.alpha << ',' << s_.sprt.beta << ',' << s_.sprt.normalized;
  return o.str();
}

std::string Runner::settingsJson() const {
  std::ostringstream o;
  o << "{\"engines\": [";
  for (int k = 0; k < 2; ++k) {
    const EngineConfig& e = s_.engines[k];
    const Limits& l = e.limits;
    o << (k ? ", " : "") << "{\"name\": " << Json::quote(e.name) << ", \"cmd\": " << Json::quote(e.cmd)
      << ", \"dir\": " << Json::quote(e.dir) << ", \"args\": [";
    for (std::size_t i = 0; i < e.args.size(); ++i) o << (i ? ", " : "") << Json::quote(e.args[i]);
    o << "], \"options\": {";
    for (std::size_t i = 0; i < e.options.size(); ++i)
      o << (i ? ", " : "") << Json::quote(e.options[i].first) << ": " << Json::quote(e.options[i].second);
    o << "}, \"tc\": " << Json::quote(l.tcSet && l.infinite ? "inf" : l.pgnText()) << ", \"nodes\": " << l.nodes
      << ", \"depth\": " << l.depth << ", \"timemargin\": " << l.marginMs << '}';
  }
  o << "], \"games\": " << s_.games << ", \"seed\": " << s_.seed << ", \"concurrency\": " << s_.concurrency
    << ", \"recover\": " << (s_.recover ? "true" : "false") << ", \"openings\": ";
  if (s_.openings.file.empty()) o << "null";
  else
    o << "{\"file\": " << Json::quote(s_.openings.file) << ", \"format\": \"" << (s_.openings.pgn ? "pgn" : "epd")
      << "\", \"order\": \"" << (s_.openings.random ? "random" : "sequential") << "\", \"plies\": " << s_.openings.plies
      << ", \"start\": " << s_.openings.start << ", \"count\": " << openings_.size() << '}';
  const Adjudication& a = s_.adjudication;
  o << ", \"draw\": ";
  if (a.draw)
    o << "{\"movenumber\": " << a.drawMoveNumber << ", \"movecount\": " << a.drawMoveCount << ", \"score\": " << a.drawScore << '}';
  else o << "null";
  o << ", \"resign\": ";
  if (a.resign)
    o << "{\"movecount\": " << a.resignMoveCount << ", \"score\": " << a.resignScore
      << ", \"twosided\": " << (a.twoSided ? "true" : "false") << '}';
  else o << "null";
  o << '}';
  return o.str();
}

bool Runner::startEngine(EngineProcess& e, int index) {
  std::string error;
  if (e.start(s_.engines[index], s_.handshakeMs, s_.debug, error)) return true;
  std::lock_guard lock(mutex_);
  if (!fatal_ && !gSignal) {
    fatal_ = true;
    fatalMessage_ = error;
  }
  requestStop();
  return false;
}

void Runner::worker() {
  EngineProcess engines[2];
  if (!startEngine(engines[0], 0) || !startEngine(engines[1], 1)) return;
  while (!stopped()) {
    const std::size_t slot = nextPair_++;
    if (slot >= pairs_.size()) break;
    const i64 pair = pairs_[slot];
    const Opening& opening =
        openings_.empty() ? startOpening_ : openings_[openingIndex(s_.openings, openings_.size(), s_.seed, pair)];
    GameRecord first;
    for (int g = 0; g < 2 && !stopped(); ++g) {
      GameRecord game;
      game.pair = pair;
      game.number = 2 * pair + g + 1;
      game.white = g;  // the first engine has White in a pair's first game
      game.opening = &opening;
      if (!playGame(engines, game)) break;
      finishGame(game, g == 1 ? &first : nullptr);
      if (g == 0) first = std::move(game);
      const GameRecord& last = g == 0 ? first : game;
      for (int k = 0; k < 2; ++k) {
        if (!last.engineLost[k] || stopped()) continue;
        if (!s_.recover) {
          std::lock_guard lock(mutex_);
          faultStop_ = true;
          requestStop();
          break;
        }
        std::cerr << "quorvane-match: restarting " << s_.engines[k].name << " after game " << last.number << '\n';
        if (!startEngine(engines[k], k)) break;
      }
    }
  }
  engines[0].stop();
  engines[1].stop();
}

bool Runner::playGame(EngineProcess* engines, GameRecord& g) {
  const Opening& o = *g.opening;
  GamePosition pos;
  pos.setFen(o.fen);
  std::string moveText;  // the moves so far, for the position command
  for (const std::string& uci : o.moves) {
    const Move m = pos.fromUci(uci);
    g.moves.push_back({pos.san(m), uci, "book"});
    pos.play(m);
    moveText += ' ' + uci;
  }
  const std::string positionHead = o.standardStart ? "position startpos" : "position fen " + o.fen;
  const char* sideName[2] = {"White", "Black"};
  auto engineOf = [&](Color side) { return side == White ? g.white : 1 - g.white; };
  auto fault = [&](int engine, Fault f, bool lost, const std::string& reason) {
    g.fault = f;
    g.faultEngine = engine;
    g.engineLost[engine] = lost;
    const Color side = engine == g.white ? White : Black;
    g.result = side == White ? "0-1" : "1-0";
    g.reason = reason;
    g.termination = f == Fault::Illegal ? "rules infraction" : f == Fault::Time ? "time forfeit" : "abandoned";
  };
  // A failed read or write: a crash when the process has ended, else a disconnect.
  auto broken = [&](int engine, const std::string& who) {
    if (engines[engine].exited()) fault(engine, Fault::Crash, true, who + "'s engine crashed");
    else fault(engine, Fault::Disconnect, true, who + " disconnects");
  };

  // New game for both engines.
  for (int k = 0; k < 2; ++k) {
    const std::string who = sideName[k == g.white ? White : Black];
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(s_.handshakeMs);
    const auto r = engines[k].send("ucinewgame") ? engines[k].sync(deadline) : EngineProcess::Read::Closed;
    if (r == EngineProcess::Read::Stopped) return false;
    if (r == EngineProcess::Read::Timeout) fault(k, Fault::Stall, true, who + "'s engine did not answer isready");
    else if (r == EngineProcess::Read::Closed) broken(k, who);
    if (g.fault != Fault::None) return true;
  }

  i64 remaining[2], movesMade[2] = {0, 0};
  for (int k = 0; k < 2; ++k) remaining[k] = s_.engines[k].limits.baseMs;
  const Adjudication& adj = s_.adjudication;
  int drawPlies = 0, resignCount[2] = {0, 0}, winCount[2] = {0, 0};

  for (;;) {
    if (stopped()) return false;
    const RuleEnd end = pos.end();
    const Color stm = pos.board().side;
    if (end != RuleEnd::None) {
      switch (end) {
        case RuleEnd::Checkmate:
          g.result = stm == White ? "0-1" : "1-0";
          g.reason = std::string(sideName[stm ^ 1]) + " mates";
          break;
        case RuleEnd::Stalemate: g.result = "1/2-1/2", g.reason = "Draw by stalemate"; break;
        case RuleEnd::Repetition: g.result = "1/2-1/2", g.reason = "Draw by 3-fold repetition"; break;
        case RuleEnd::FiftyMoves: g.result = "1/2-1/2", g.reason = "Draw by fifty moves rule"; break;
        default: g.result = "1/2-1/2", g.reason = "Draw by insufficient mating material"; break;
      }
      return true;
    }
    const int e = engineOf(stm);
    const Limits& l = s_.engines[e].limits;
    const std::string who = sideName[stm];
    std::string go = "go";
    if (l.clocked()) {
      const int we = engineOf(White), be = engineOf(Black);
      go += " wtime " + std::to_string(std::max<i64>(remaining[we], 1)) + " btime " +
            std::to_string(std::max<i64>(remaining[be], 1)) + " winc " + std::to_string(s_.engines[we].limits.incMs) +
            " binc " + std::to_string(s_.engines[be].limits.incMs);
      if (l.tcMoves) go += " movestogo " + std::to_string(l.tcMoves - movesMade[e] % l.tcMoves);
    }
    if (l.moveTimeMs > 0) go += " movetime " + std::to_string(l.moveTimeMs);
    if (l.nodes > 0) go += " nodes " + std::to_string(l.nodes);
    if (l.depth > 0) go += " depth " + std::to_string(l.depth);

    if (!engines[e].send(positionHead + (moveText.empty() ? "" : " moves" + moveText)) || !engines[e].send(go)) {
      broken(e, who);
      return true;
    }
    const auto t0 = SteadyClock::now();
    i64 allowed = -1;  // ms before a loss on time; -1: no clock
    if (l.clocked()) allowed = remaining[e] + l.marginMs;
    else if (l.moveTimeMs > 0) allowed = l.moveTimeMs + l.marginMs;
    const auto deadline = t0 + std::chrono::milliseconds(allowed >= 0 ? allowed + 1 : s_.stallMs);

    std::string line, best;
    int depth = 0, cp = 0, mateIn = 0;
    bool haveScore = false, mate = false;
    EngineProcess::Read r;
    while ((r = engines[e].readLine(line, deadline)) == EngineProcess::Read::Line) {
      if (line.rfind("bestmove", 0) == 0) {
        best = nextWord(line, 8);
        break;
      }
      if (line.rfind("info ", 0) == 0) readInfo(line, depth, haveScore, mate, mateIn, cp);
    }
    const i64 elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - t0).count();
    if (r == EngineProcess::Read::Stopped) return false;
    if (r == EngineProcess::Read::Closed) {
      broken(e, who);
      return true;
    }
    if (r == EngineProcess::Read::Timeout) {
      if (allowed < 0) {
        fault(e, Fault::Stall, true, who + "'s engine stalls (no bestmove)");
        return true;
      }
      // A flag: the engine is told to stop and must still answer, or it is restarted.
      bool answered = false;
      if (engines[e].send("stop")) {
        const auto late = SteadyClock::now() + std::chrono::milliseconds(s_.stallMs);
        while ((r = engines[e].readLine(line, late)) == EngineProcess::Read::Line)
          if (line.rfind("bestmove", 0) == 0) {
            answered = true;
            break;
          }
        if (r == EngineProcess::Read::Stopped) return false;
      }
      best.clear();
      fault(e, Fault::Time, !answered, "");
    } else if (allowed >= 0 && elapsed > allowed) {
      fault(e, Fault::Time, false, "");
    }
    if (g.fault == Fault::Time) {
      // A loss on time is a draw when the opponent could never mate.
      if (!pos.canMate(stm ^ 1)) {
        g.result = "1/2-1/2";
        g.reason = "Draw: " + who + " loses on time, the opponent has no mating material";
      } else {
        g.reason = who + " loses on time";
      }
      return true;
    }
    const Move m = pos.fromUci(best);
    if (m == 0) {
      fault(e, Fault::Illegal, false, who + " makes an illegal move: " + (best.empty() ? "(none)" : best));
      return true;
    }
    if (l.clocked()) {
      remaining[e] -= elapsed;
      remaining[e] += l.incMs;
      ++movesMade[e];
      if (l.tcMoves && movesMade[e] % l.tcMoves == 0) remaining[e] += l.baseMs;
    }
    char timeText[32];
    std::snprintf(timeText, sizeof timeText, "%.3fs", elapsed / 1000.0);
    MoveRecord rec{pos.san(m), best, ""};
    rec.comment = haveScore ? scoreText(cp, mate, mateIn) + "/" + std::to_string(depth) + " " + timeText : timeText;
    g.moves.push_back(std::move(rec));
    pos.play(m);
    moveText += ' ' + best;

    // Adjudication on the scores the engines report, each from its own side.
    if (adj.draw) {
      drawPlies = haveScore && std::abs(cp) <= adj.drawScore ? drawPlies + 1 : 0;
      if (pos.board().fullmoveNumber >= adj.drawMoveNumber && drawPlies >= 2 * adj.drawMoveCount &&
          pos.end() == RuleEnd::None) {
        g.result = "1/2-1/2";
        g.reason = "Draw by adjudication";
        g.termination = "adjudication";
        return true;
      }
    }
    if (adj.resign) {
      resignCount[e] = haveScore && cp <= -adj.resignScore ? resignCount[e] + 1 : 0;
      winCount[e] = haveScore && cp >= adj.resignScore ? winCount[e] + 1 : 0;
      for (int k = 0; k < 2; ++k) {
        if (resignCount[k] < adj.resignMoveCount || (adj.twoSided && winCount[1 - k] < adj.resignMoveCount)) continue;
        if (pos.end() != RuleEnd::None) break;
        const Color side = k == g.white ? White : Black;
        g.result = side == White ? "0-1" : "1-0";
        g.reason = std::string(sideName[side]) + " resigns";
        g.termination = "adjudication";
        return true;
      }
    }
  }
}

std::string Runner::pgnText(const GameRecord& g) const {
  const Opening& o = *g.opening;
  std::string out;
  auto tag = [&](const char* name, const std::string& value) {
    std::string v;
    for (char c : value) {
      if (c == '"' || c == '\\') v += '\\';
      v += c;
    }
    out += std::string("[") + name + " \"" + v + "\"]\n";
  };
  const std::string& white = s_.engines[g.white].name;
  const std::string& black = s_.engines[1 - g.white].name;
  tag("Event", s_.event);
  tag("Site", site_);
  tag("Date", date_);
  tag("Round", std::to_string(g.number));
  tag("White", white);
  tag("Black", black);
  tag("Result", g.result);
  if (!o.standardStart) {
    tag("SetUp", "1");
    tag("FEN", o.fen);
  }
  const std::string tcWhite = s_.engines[g.white].limits.pgnText(), tcBlack = s_.engines[1 - g.white].limits.pgnText();
  tag("TimeControl", tcWhite == tcBlack ? tcWhite : "?");
  if (tcWhite != tcBlack) {
    tag("WhiteTimeControl", tcWhite);
    tag("BlackTimeControl", tcBlack);
  }
  tag("PlyCount", std::to_string(g.moves.size()));
  tag("Termination", g.termination);
  out += '\n';

  // Move text in lines of at most 79 characters.
  std::string line;
  auto word = [&](const std::string& w) {
    if (!line.empty() && line.size() + 1 + w.size() > 79) {
      out += line + '\n';
      line.clear();
    }
    if (!line.empty()) line += ' ';
    line += w;
  };
  GamePosition pos;
  pos.setFen(o.fen);
  int moveNumber = pos.board().fullmoveNumber;
  Color side = pos.board().side;
  bool first = true;
  for (const MoveRecord& m : g.moves) {
    if (side == White) word(std::to_string(moveNumber) + ".");
    else if (first) word(std::to_string(moveNumber) + "...");
    first = false;
    word(m.san);
    if (!m.comment.empty()) word("{" + m.comment + "}");
    if (side == Black) ++moveNumber;
    side ^= 1;
  }
  if (!g.reason.empty()) word("{" + g.reason + "}");
  word(g.result);
  out += line + "\n\n";
  return out;
}

std::string Runner::gameJson(const GameRecord& g) const {
  std::string moves;
  for (const MoveRecord& m : g.moves) {
    if (!moves.empty()) moves += ' ';
    moves += m.uci;
  }
  std::ostringstream o;
  o << "{\"game\": " << g.number << ", \"pair\": " << g.pair << ", \"white\": " << Json::quote(s_.engines[g.white].name)
    << ", \"black\": " << Json::quote(s_.engines[1 - g.white].name) << ", \"result\": " << Json::quote(g.result)
    << ", \"reason\": " << Json::quote(g.reason) << ", \"termination\": " << Json::quote(g.termination)
    << ", \"fault\": " << Json::quote(faultKey(g.fault)) << ", \"faultEngine\": "
    << (g.faultEngine >= 0 ? Json::quote(s_.engines[g.faultEngine].name) : "null") << ", \"plies\": " << g.moves.size()
    << ", \"bookPlies\": " << g.opening->moves.size() << ", \"fen\": " << Json::quote(g.opening->fen)
    << ", \"moves\": " << Json::quote(moves) << '}';
  return o.str();
}

void Runner::finishGame(GameRecord& g, const GameRecord* firstOfPair) {
  const std::string pgn = s_.pgnOut.empty() ? std::string() : pgnText(g);
  const std::string json = gameJson(g);
  std::lock_guard lock(mutex_);
  if (pgnFd_ >= 0) {
    // One write per game under the lock: the file never holds half a game, whatever stops us.
    std::size_t done = 0;
    while (done < pgn.size()) {
      const ssize_t n = ::write(pgnFd_, pgn.data() + done, pgn.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (!fatal_) fatal_ = true, fatalMessage_ = s_.pgnOut + ": write failed: " + std::strerror(errno);
        requestStop();
        break;
      }
      done += static_cast<std::size_t>(n);
    }
  }
  Summary& s = summary_;
  const double points = g.firstScore();
  (points == 1 ? s.wins : points == 0 ? s.losses : s.draws)++;
  if (g.faultEngine >= 0) s.faults[g.faultEngine][static_cast<int>(g.fault) - 1]++;
  s.gameJson.push_back(json);
  if (firstOfPair) {
    const int half = static_cast<int>(std::lround(2 * (points + firstOfPair->firstScore())));
    s.penta[half]++;
    s.pairsDone.push_back(g.pair);
    const SprtState state = sprtState(s.llr(), s.sprt);
    // Shards play all their pairs: only the merged counts may decide.
    if (state != SprtState::Continue && s.shardCount == 1 && !s.sprtStopped) {
      s.sprtStopped = true;
      std::cerr << "quorvane-match: SPRT: " << sprtName(state) << " after " << s.games() << " games\n";
      requestStop();
    }
  }
  if (s_.ratingInterval > 0 && s.games() % s_.ratingInterval == 0) {
    std::cerr << progressLine(s, 2 * static_cast<i64>(pairs_.size())) << '\n';
    writeJson(false);
  }
}

void Runner::writeJson(bool final) {
  if (s_.jsonOut.empty()) return;
  std::string error;
  if (!writeFileAtomically(s_.jsonOut, summaryJson(summary_), error) && final) std::cerr << "quorvane-match: " << error << '\n';
}

int Runner::run(int pgnFd) {
  pgnFd_ = pgnFd;
  const int workers = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(s_.concurrency), std::max<std::size_t>(pairs_.size(), 1)));
  std::vector<std::thread> threads;
  for (int k = 0; k < workers; ++k) threads.emplace_back([this] { worker(); });
  for (auto& t : threads) t.join();

  std::lock_guard lock(mutex_);
  // The manager's own CPU time (all its threads) beside its engines' (every engine has been
  // reaped by now): /usr/bin/time reports only the sum of the two.
  auto seconds = [](const rusage& u) {
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  };
  rusage self{}, children{};
  if (::getrusage(RUSAGE_SELF, &self) == 0 && ::getrusage(RUSAGE_CHILDREN, &children) == 0) {
    summary_.managerCpu = seconds(self);
    summary_.enginesCpu = seconds(children);
  }
  const int sig = gSignal.load();
  summary_.finished = true;
  summary_.interrupted = sig != 0;
  summary_.stoppedByFault = faultStop_;
  if (fatal_) {
    std::cerr << "quorvane-match: " << fatalMessage_ << '\n';
    summary_.stoppedByFault = true;
  }
  writeJson(true);
  if (summary_.games() > 0 || !fatal_) printReport(std::cout, summary_);
  std::cout.flush();
  if (sig) return 128 + sig;
  if (fatal_) return summary_.games() > 0 ? 2 : 1;
  return faultStop_ ? 2 : 0;
}

// Checks an output before the first game: the PGN is opened for appending (and kept), the
// summary's folder must take a new file.
bool checkOutputs(const Settings& s, int& pgnFd, std::string& error) {
  if (!s.pgnOut.empty()) {
    pgnFd = ::open(s.pgnOut.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (pgnFd < 0) {
      error = s.pgnOut + ": cannot write: " + std::strerror(errno);
      return false;
    }
  }
  if (!s.jsonOut.empty()) {
    const std::string probe = s.jsonOut + ".tmp" + std::to_string(::getpid());
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      error = s.jsonOut + ": cannot write: " + std::strerror(errno);
      return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
  }
  return true;
}

}  // namespace

int runMatch(const Settings& s) {
  initRules();
  std::vector<Opening> openings;
  std::string error;
  if (!s.openings.file.empty() && !loadOpenings(s.openings, openings, error)) {
    std::cerr << "quorvane-match: " << error << '\n';
    return 1;
  }
  if (s.checkOnly) {
    std::cerr << "quorvane-match: the settings are good";
    if (!openings.empty()) std::cerr << "; " << openings.size() << " openings in " << s.openings.file;
    std::cerr << '\n';
    return 0;
  }
  int pgnFd = -1;
  if (!checkOutputs(s, pgnFd, error)) {
    std::cerr << "quorvane-match: " << error << '\n';
    return 1;
  }
  int stopPipe[2];
  if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::cerr << "quorvane-match: cannot make a pipe: " << std::strerror(errno) << '\n';
    if (pgnFd >= 0) ::close(pgnFd);
    return 1;
  }
  gSignal = 0;
  gStopWriteFd = stopPipe[1];
  setStopDescriptor(stopPipe[0]);
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  struct sigaction oldInt {}, oldTerm {}, oldPipe {};
  ::sigaction(SIGINT, &sa, &oldInt);
  ::sigaction(SIGTERM, &sa, &oldTerm);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &oldPipe);  // a dead engine's pipe is a fault, not our death

  int status;
  {
    Runner runner(s, std::move(openings));
    status = runner.run(pgnFd);
  }
  ::sigaction(SIGINT, &oldInt, nullptr);
  ::sigaction(SIGTERM, &oldTerm, nullptr);
  ::sigaction(SIGPIPE, &oldPipe, nullptr);
  setStopDescriptor(-1);
  gStopWriteFd = -1;
  ::close(stopPipe[0]);
  ::close(stopPipe[1]);
  if (pgnFd >= 0 && ::close(pgnFd) != 0) {
    std::cerr << "quorvane-match: " << s.pgnOut << ": write failed: " << std::strerror(errno) << '\n';
    if (status == 0) status = 1;
  }
  return status;
}

}  // namespace Match
