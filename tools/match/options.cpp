// Command-line parsing and its checks.
#include "tools/match/options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace Match {

const char* usageText() {
  return R"(usage: quorvane-match -engine cmd=PATH [name=NAME] ... -engine ... [options]
       quorvane-match merge [-jsonout FILE] SUMMARY.json...

Plays games between two UCI engines, in pairs: each opening twice, colours swapped.

Engines (keys per -engine, or for both engines with -each; -engine keys win):
  cmd=PATH          the program (searched on PATH when it has no slash)
  name=NAME         the name in reports and PGN (default: the program's file name)
  arg=ARG           a command-line argument of the engine (repeatable)
  dir=DIR           working directory of the engine
  option.NAME=VALUE a UCI option, sent as setoption before the first game
  tc=[MOVES/]TIME[+INC]  clock: TIME seconds (or M:SS) for MOVES moves (default: the
                    whole game), INC seconds added per move; tc=inf: no clock
  st=SECONDS        time per move (go movetime)
  nodes=N           nodes per move (go nodes)
  depth=N           depth per move (go depth)
  timemargin=MS     overrun of the clock allowed before a loss on time (default 0)
  Every engine needs a limit: a clock, st=, nodes= or depth= (tc=inf only with nodes= or depth=).

Match:
  -games N          games of the whole match, an even number (default 2)
  -rounds N         N rounds of -games games each (without -games: N pairs)
  -repeat           accepted for old scripts: openings are always played twice
  -concurrency N    games played at once (default 1)
  -openings file=FILE format=epd|pgn [order=random|sequential] [plies=N] [start=N]
                    openings (default: the usual start position); EPD lines or PGN games,
                    PGN moves after the first N plies ignored; start= the first used
  -seed N           seed of order=random (default 1)
  -shard I/N        play only the pairs whose index is I modulo N (0 <= I < N)
  -sprt elo0=E0 elo1=E1 [alpha=0.05] [beta=0.05] [model=logistic|normalized]
                    stop when the SPRT accepts either hypothesis (not within a shard)
  -draw movenumber=N movecount=M score=CP
                    adjudicate a draw from move N when both engines' scores stay within
                    CP centipawns of 0 for M moves each
  -resign movecount=M score=CP [twosided=true]
                    an engine whose score stays at or below -CP for M moves loses
                    (twosided: and its opponent's at or above CP)
  -recover          restart an engine after a crash, stall or disconnect and go on
  -pgnout FILE      append every finished game to FILE
  -jsonout FILE     the summary as JSON (rewritten whole as games finish)
  -ratinginterval N a progress line every N games (default 10; 0: none)
  -event NAME       the PGN Event tag
  -handshaketimeout MS  time for uciok and readyok (default 10000)
  -stalltimeout MS  time for a bestmove without a clock, or after a loss on time (default 60000)
  -debug            every line to and from the engines on standard error
  -check            check the settings and read the openings, then stop (no engine runs)
  -help             this text

Exit status: 0 done, 1 bad input or an engine that did not start, 2 stopped after an engine
fault without -recover, 130 on SIGINT (Ctrl-C), 143 on SIGTERM.
)";
}

namespace {

bool parseInt64(const std::string& t, i64& out, i64 lo, i64 hi) {
  if (t.empty() || t.size() > 18 || t.find_first_not_of("0123456789") != std::string::npos) return false;
  out = std::strtoll(t.c_str(), nullptr, 10);
  return out >= lo && out <= hi;
}

bool parseDouble(const std::string& t, double& out) {
  if (t.empty()) return false;
  char* end = nullptr;
  errno = 0;
  out = std::strtod(t.c_str(), &end);
  return end == t.c_str() + t.size() && errno == 0 && std::isfinite(out);
}

// Seconds, as "12.5" or "M:SS(.s)", to milliseconds.
bool parseSeconds(const std::string& t, i64& ms) {
  double minutes = 0, seconds = 0;
  const auto colon = t.find(':');
  if (colon != std::string::npos) {
    if (!parseDouble(t.substr(0, colon), minutes) || !parseDouble(t.substr(colon + 1), seconds)) return false;
  } else if (!parseDouble(t, seconds)) {
    return false;
  }
  const double total = (minutes * 60 + seconds) * 1000;
  if (minutes < 0 || seconds < 0 || total > 1e12) return false;
  ms = static_cast<i64>(std::llround(total));
  return true;
}

bool parseTc(const std::string& t, Limits& l) {
  l.tcSet = true;
  if (t == "inf" || t == "infinite") {
    l.infinite = true;
    return true;
  }
  l.infinite = false;
  std::string rest = t;
  l.tcMoves = 0;
  const auto slash = rest.find('/');
  if (slash != std::string::npos) {
    i64 moves;
    if (!parseInt64(rest.substr(0, slash), moves, 1, 10000)) return false;
    l.tcMoves = static_cast<int>(moves);
    rest = rest.substr(slash + 1);
  }
  const auto plus = rest.find('+');
  l.incMs = 0;
  if (plus != std::string::npos) {
    if (!parseSeconds(rest.substr(plus + 1), l.incMs)) return false;
    rest = rest.substr(0, plus);
  }
  return parseSeconds(rest, l.baseMs) && (l.baseMs > 0 || l.incMs > 0);
}

// Keys of -engine and -each. `set` records which limit keys were given, so an engine's own keys
// override -each's whatever their order.
struct EngineKeys {
  EngineConfig config;
  bool has[7] = {};  // cmd name dir tc st nodes depth; timemargin via marginSet
};

bool engineKey(const std::string& key, const std::string& value, EngineKeys& e, std::string& error) {
  EngineConfig& c = e.config;
  auto bad = [&] {
    error = "bad value of " + key + ": '" + value + "'";
    return false;
  };
  if (key == "cmd") c.cmd = value, e.has[0] = true;
  else if (key == "name") c.name = value, e.has[1] = true;
  else if (key == "dir") c.dir = value, e.has[2] = true;
  else if (key == "arg") c.args.push_back(value);
  else if (key == "proto") {
    if (value != "uci") return bad();
  } else if (key.rfind("option.", 0) == 0 && key.size() > 7) {
    c.options.emplace_back(key.substr(7), value);
  } else if (key == "tc") {
    if (!parseTc(value, c.limits)) return bad();
    e.has[3] = true;
  } else if (key == "st") {
    if (!parseSeconds(value, c.limits.moveTimeMs) || c.limits.moveTimeMs <= 0) return bad();
    e.has[4] = true;
  } else if (key == "nodes") {
    if (!parseInt64(value, c.limits.nodes, 1, i64{1} << 50)) return bad();
    e.has[5] = true;
  } else if (key == "depth") {
    i64 d;
    if (!parseInt64(value, d, 1, 1000)) return bad();
    c.limits.depth = static_cast<int>(d);
    e.has[6] = true;
  } else if (key == "timemargin") {
    if (!parseInt64(value, c.limits.marginMs, 0, i64{1} << 40)) return bad();
    c.limits.marginSet = true;
  } else {
    error = "unknown key '" + key + "'";
    return false;
  }
  return true;
}

void applyEach(const EngineKeys& each, EngineKeys& e) {
  EngineConfig& c = e.config;
  const EngineConfig& d = each.config;
  if (!e.has[0] && each.has[0]) c.cmd = d.cmd;
  if (!e.has[2] && each.has[2]) c.dir = d.dir;
  c.args.insert(c.args.begin(), d.args.begin(), d.args.end());
  c.options.insert(c.options.begin(), d.options.begin(), d.options.end());
  Limits& l = c.limits;
  const Limits& dl = d.limits;
  if (!e.has[3] && each.has[3]) {
    l.tcSet = dl.tcSet, l.infinite = dl.infinite, l.tcMoves = dl.tcMoves, l.baseMs = dl.baseMs, l.incMs = dl.incMs;
  }
  if (!e.has[4] && each.has[4]) l.moveTimeMs = dl.moveTimeMs;
  if (!e.has[5] && each.has[5]) l.nodes = dl.nodes;
  if (!e.has[6] && each.has[6]) l.depth = dl.depth;
  if (!l.marginSet && dl.marginSet) l.marginMs = dl.marginMs, l.marginSet = true;
}

}  // namespace

std::string Limits::pgnText() const {
  char buf[48];
  if (clocked()) {
    std::string text = tcMoves ? std::to_string(tcMoves) + "/" : "";
    std::snprintf(buf, sizeof buf, "%g", baseMs / 1000.0);
    text += buf;
    if (incMs) {
      std::snprintf(buf, sizeof buf, "+%g", incMs / 1000.0);
      text += buf;
    }
    return text;
  }
  // A move time is one move per so many seconds in the PGN's moves/seconds form.
  if (moveTimeMs > 0) {
    std::snprintf(buf, sizeof buf, "1/%g", moveTimeMs / 1000.0);
    return buf;
  }
  return "-";
}

bool parseOptions(const std::vector<std::string>& args, Settings& s, bool& help, std::string& error) {
  help = false;
  std::vector<EngineKeys> engines;
  EngineKeys each;
  bool gamesSet = false, roundsSet = false;
  i64 games = 2, rounds = 1;
  std::size_t i = 0;
  auto isKeyValue = [](const std::string& t) { return !t.empty() && t[0] != '-' && t.find('=') != std::string::npos; };
  // The key=value words after an option.
  auto keyValues = [&](std::vector<std::pair<std::string, std::string>>& out) {
    while (i < args.size() && isKeyValue(args[i])) {
      const auto eq = args[i].find('=');
      out.emplace_back(args[i].substr(0, eq), args[i].substr(eq + 1));
      ++i;
    }
  };
  auto value = [&](const std::string& opt, std::string& out) {
    if (i >= args.size()) {
      error = opt + " needs a value";
      return false;
    }
    out = args[i++];
    return true;
  };
  auto number = [&](const std::string& opt, i64& out, i64 lo, i64 hi) {
    std::string t;
    if (!value(opt, t)) return false;
    if (!parseInt64(t, out, lo, hi)) {
      error = opt + ": '" + t + "' is not a whole number from " + std::to_string(lo) + " to " + std::to_string(hi);
      return false;
    }
    return true;
  };
  for (const auto& a : args)
    if (a == "-help" || a == "--help" || a == "-h") {
      help = true;
      return true;
    }
  while (i < args.size()) {
    const std::string opt = args[i++];
    std::vector<std::pair<std::string, std::string>> kv;
    if (opt == "-engine" || opt == "-each") {
      keyValues(kv);
      EngineKeys& target = opt == "-each" ? each : engines.emplace_back();
      if (kv.empty()) {
        error = opt + " needs key=value settings";
        return false;
      }
      for (const auto& [k, v] : kv)
        if (!engineKey(k, v, target, error)) {
          error = opt + ": " + error;
          return false;
        }
    } else if (opt == "-openings") {
      keyValues(kv);
      bool haveFile = false;
      for (const auto& [k, v] : kv) {
        i64 n;
        if (k == "file") s.openings.file = v, haveFile = !v.empty();
        else if (k == "format" && (v == "epd" || v == "pgn")) s.openings.pgn = v == "pgn";
        else if (k == "order" && (v == "random" || v == "sequential")) s.openings.random = v == "random";
        else if (k == "plies" && parseInt64(v, n, 0, 100000)) s.openings.plies = static_cast<int>(n);
        else if (k == "start" && parseInt64(v, n, 1, 1LL << 40)) s.openings.start = static_cast<int>(std::min<i64>(n, 1 << 30));
        else if (k == "policy" && (v == "default" || v == "encounter" || v == "round")) continue;
        else {
          error = "-openings: bad setting " + k + "=" + v;
          return false;
        }
      }
      if (!haveFile) {
        error = "-openings needs file=FILE";
        return false;
      }
    } else if (opt == "-sprt") {
      keyValues(kv);
      s.sprt.enabled = true;
      bool e0 = false, e1 = false;
      for (const auto& [k, v] : kv) {
        double d;
        if (k == "model" && (v == "logistic" || v == "normalized")) s.sprt.normalized = v == "normalized";
        else if (k == "elo0" && parseDouble(v, d)) s.sprt.elo0 = d, e0 = true;
        else if (k == "elo1" && parseDouble(v, d)) s.sprt.elo1 = d, e1 = true;
        else if (k == "alpha" && parseDouble(v, d) && d > 0 && d < 0.5) s.sprt.alpha = d;
        else if (k == "beta" && parseDouble(v, d) && d > 0 && d < 0.5) s.sprt.beta = d;
        else {
          error = "-sprt: bad setting " + k + "=" + v;
          return false;
        }
      }
      if (!e0 || !e1 || !(s.sprt.elo1 > s.sprt.elo0)) {
        error = "-sprt needs elo0= and elo1= with elo1 greater than elo0";
        return false;
      }
    } else if (opt == "-draw") {
      keyValues(kv);
      s.adjudication.draw = true;
      int got = 0;
      for (const auto& [k, v] : kv) {
        i64 n;
        if (!parseInt64(v, n, 0, 100000)) {
          error = "-draw: bad setting " + k + "=" + v;
          return false;
        }
        if (k == "movenumber") s.adjudication.drawMoveNumber = static_cast<int>(n), got |= 1;
        else if (k == "movecount" && n > 0) s.adjudication.drawMoveCount = static_cast<int>(n), got |= 2;
        else if (k == "score") s.adjudication.drawScore = static_cast<int>(n), got |= 4;
        else {
          error = "-draw: bad setting " + k + "=" + v;
          return false;
        }
      }
      if (got != 7) {
        error = "-draw needs movenumber=, movecount= and score=";
        return false;
      }
    } else if (opt == "-resign") {
      keyValues(kv);
      s.adjudication.resign = true;
      int got = 0;
      for (const auto& [k, v] : kv) {
        i64 n;
        if (k == "twosided" && (v == "true" || v == "false")) s.adjudication.twoSided = v == "true";
        else if (k == "movecount" && parseInt64(v, n, 1, 100000)) s.adjudication.resignMoveCount = static_cast<int>(n), got |= 1;
        else if (k == "score" && parseInt64(v, n, 1, 100000)) s.adjudication.resignScore = static_cast<int>(n), got |= 2;
        else {
          error = "-resign: bad setting " + k + "=" + v;
          return false;
        }
      }
      if (got != 3) {
        error = "-resign needs movecount= and score=";
        return false;
      }
    } else if (opt == "-games") {
      if (!number(opt, games, 1, i64{1} << 40)) return false;
      gamesSet = true;
    } else if (opt == "-rounds") {
      if (!number(opt, rounds, 1, i64{1} << 40)) return false;
      roundsSet = true;
    } else if (opt == "-repeat") {
      if (i < args.size() && !args[i].empty() && args[i][0] != '-') {
        if (args[i] != "2") {
          error = "-repeat: openings are played twice, as pairs; '" + args[i] + "' is not supported";
          return false;
        }
        ++i;
      }
    } else if (opt == "-concurrency") {
      i64 n;
      if (!number(opt, n, 1, 256)) return false;
      s.concurrency = static_cast<int>(n);
    } else if (opt == "-seed") {
      i64 n;
      if (!number(opt, n, 0, (i64{1} << 62))) return false;
      s.seed = static_cast<std::uint64_t>(n);
    } else if (opt == "-shard") {
      std::string t;
      if (!value(opt, t)) return false;
      const auto slash = t.find('/');
      i64 a = -1, b = 0;
      if (slash == std::string::npos || !parseInt64(t.substr(0, slash), a, 0, 1 << 20) ||
          !parseInt64(t.substr(slash + 1), b, 1, 1 << 20) || a >= b) {
        error = "-shard needs I/N with 0 <= I < N, not '" + t + "'";
        return false;
      }
      s.shardIndex = static_cast<int>(a);
      s.shardCount = static_cast<int>(b);
    } else if (opt == "-pgnout") {
      if (!value(opt, s.pgnOut)) return false;
    } else if (opt == "-jsonout") {
      if (!value(opt, s.jsonOut)) return false;
    } else if (opt == "-event") {
      if (!value(opt, s.event)) return false;
    } else if (opt == "-recover") {
      s.recover = true;
    } else if (opt == "-check") {
      s.checkOnly = true;
    } else if (opt == "-debug") {
      s.debug = true;
    } else if (opt == "-ratinginterval") {
      i64 n;
      if (!number(opt, n, 0, 1 << 30)) return false;
      s.ratingInterval = static_cast<int>(n);
    } else if (opt == "-handshaketimeout" || opt == "-stalltimeout") {
      i64 n;
      if (!number(opt, n, 1, 1 << 30)) return false;
      (opt == "-stalltimeout" ? s.stallMs : s.handshakeMs) = static_cast<int>(n);
    } else {
      error = "unknown option '" + opt + "' (see -help)";
      return false;
    }
  }
  if (engines.size() != 2) {
    error = "a match needs exactly two -engine options, not " + std::to_string(engines.size());
    return false;
  }
  for (int k = 0; k < 2; ++k) {
    applyEach(each, engines[k]);
    EngineConfig& c = engines[k].config;
    if (c.cmd.empty()) {
      error = "engine " + std::to_string(k + 1) + " has no cmd=";
      return false;
    }
    if (!engines[k].has[1]) {
      c.name = each.has[1] ? each.config.name : c.cmd.substr(c.cmd.rfind('/') + 1);
    }
    const Limits& l = c.limits;
    if (l.tcSet && l.infinite && l.nodes == 0 && l.depth == 0) {
      error = "engine " + c.name + ": tc=inf needs nodes= or depth=, or the game never ends";
      return false;
    }
    if (!l.any()) {
      error = "engine " + c.name + " has no limit: give tc=, st=, nodes= or depth=";
      return false;
    }
    if (l.clocked() && l.moveTimeMs > 0) {
      error = "engine " + c.name + ": tc= and st= do not go together";
      return false;
    }
    s.engines[k] = c;
  }
  if (s.engines[0].name == s.engines[1].name) {
    s.engines[0].name += "-1";
    s.engines[1].name += "-2";
  }
  i64 total = games;
  if (roundsSet) total = rounds * (gamesSet ? games : 2);
  if (total % 2 != 0) {
    error = "the match has " + std::to_string(total) + " games; games are played in pairs, so it needs an even number";
    return false;
  }
  s.games = total;
  return true;
}

}  // namespace Match
