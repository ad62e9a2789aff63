// EPD and PGN opening files.
#include "tools/match/openings.h"

#include <fstream>
#include <sstream>

#include "tools/match/rules.h"

namespace Match {

std::uint64_t splitmix64(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

namespace {

bool isNumber(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// An EPD line: four FEN fields, then either the two counters or operations ("bm e4; id "x";"),
// of which "hmvc N;" and "fmvn N;" give the counters.
bool readEpd(const std::string& line, GamePosition& pos, Opening& o, std::string& why) {
  std::istringstream in(line);
  std::string f[6];
  int n = 0;
  while (n < 6 && in >> f[n]) ++n;
  if (n < 4) {
    why = "an EPD line needs at least four fields";
    return false;
  }
  std::string clocks = " 0 1";
  if (n >= 6 && isNumber(f[4]) && isNumber(f[5])) {
    clocks = ' ' + f[4] + ' ' + f[5];
  } else {
    std::string halfmove = "0", fullmove = "1";
    std::istringstream ops(line);
    std::string skipped;
    for (int k = 0; k < 4; ++k) ops >> skipped;
    for (std::string op, value; ops >> op;) {
      if ((op == "hmvc" || op == "fmvn") && ops >> value && value.size() > 1 && value.back() == ';' &&
          isNumber(value.substr(0, value.size() - 1)))
        (op == "hmvc" ? halfmove : fullmove) = value.substr(0, value.size() - 1);
    }
    clocks = ' ' + halfmove + ' ' + fullmove;
  }
  const std::string fen = f[0] + ' ' + f[1] + ' ' + f[2] + ' ' + f[3] + clocks;
  if (!pos.setFen(fen)) {
    why = "not a legal position: " + fen;
    return false;
  }
  if (pos.legal().size == 0) {
    why = "the game is already over in " + fen;
    return false;
  }
  o.fen = pos.fen();
  o.standardStart = o.fen == kStartFen;
  return true;
}

// PGN: tags, then move text with comments, variations, NAGs, move numbers and a result. Each
// game is one opening; moves are checked against the rules as they are read.
class PgnReader {
 public:
  PgnReader(std::istream& in, int plies) : in_(in), plies_(plies) {}

  // False at the end of the file (error empty) or on a bad game (error set).
  bool next(Opening& o, int& line, std::string& error) {
    o = Opening{};
    std::string fen = kStartFen;
    bool inGame = false, inMoves = false;
    GamePosition pos;
    int played = 0;
    int braces = 0, parens = 0;
    while (true) {
      if (pending_.empty()) {
        if (!std::getline(in_, pending_)) break;
        ++lineNo_;
        pendingLine_ = lineNo_;
        if (!pending_.empty() && pending_.back() == '\r') pending_.pop_back();
        if (pending_.empty()) {
          continue;
        }
      }
      std::string text;
      text.swap(pending_);
      line = pendingLine_;
      if (braces == 0 && parens == 0 && text[0] == '%') continue;
      if (braces == 0 && parens == 0 && text[0] == '[') {
        if (inMoves) {  // the next game's tags: this game ended without a result token
          pending_ = text;
          break;
        }
        inGame = true;
        const auto q1 = text.find('"'), q2 = text.rfind('"');
        if (text.rfind("[FEN ", 0) == 0 && q1 != std::string::npos && q2 > q1) fen = text.substr(q1 + 1, q2 - q1 - 1);
        continue;
      }
      if (!inMoves) {
        inGame = inMoves = true;
        if (!pos.setFen(fen)) {
          error = "not a legal position in the FEN tag: " + fen;
          return false;
        }
        o.fen = pos.fen();
        o.standardStart = o.fen == kStartFen;
      }
      std::size_t i = 0;
      while (i < text.size()) {
        const char c = text[i];
        if (braces) {
          braces = c == '}' ? 0 : 1;
          ++i;
          continue;
        }
        if (c == ';') break;  // comment to the end of the line
        if (c == '{') { braces = 1; ++i; continue; }
        if (c == '(') { ++parens; ++i; continue; }
        if (c == ')') { parens -= parens > 0; ++i; continue; }
        if (c == ' ' || c == '\t') { ++i; continue; }
        std::size_t j = i;
        while (j < text.size() && std::string_view(" \t{}();").find(text[j]) == std::string_view::npos) ++j;
        std::string token = text.substr(i, j - i);
        i = j;
        if (parens) continue;
        if (token == "1-0" || token == "0-1" || token == "1/2-1/2" || token == "*") {
          if (i < text.size()) pending_ = text.substr(i), pendingLine_ = line;
          return finish(o);
        }
        if (token[0] == '$') continue;
        // Move numbers, possibly glued to the move: "12.", "12...", "12.e4".
        std::size_t k = 0;
        while (k < token.size() && std::isdigit(static_cast<unsigned char>(token[k]))) ++k;
        if (k > 0 && k < token.size() && token[k] == '.') {
          while (k < token.size() && token[k] == '.') ++k;
          token = token.substr(k);
          if (token.empty()) continue;
        } else if (k == token.size()) {
          continue;
        }
        if (plies_ > 0 && played >= plies_) continue;
        const Move m = pos.fromSan(token);
        if (m == 0) {
          error = "illegal or unreadable move '" + token + "' in position " + pos.fen();
          return false;
        }
        o.moves.push_back(moveToString(m));
        pos.play(m);
        ++played;
        if (pos.end() != RuleEnd::None && pos.legal().size == 0) {
          error = "the game is already over after '" + token + "'";
          return false;
        }
      }
    }
    if (braces || parens) {
      error = "unterminated comment or variation";
      return false;
    }
    if (!inGame) return false;
    return finish(o);
  }

 private:
  // A game of tags alone starts from the usual position.
  static bool finish(Opening& o) {
    if (o.fen.empty()) o.fen = kStartFen, o.standardStart = true;
    return true;
  }

  std::istream& in_;
  int plies_;
  std::string pending_;
  int lineNo_ = 0, pendingLine_ = 0;
};

}  // namespace

bool loadOpenings(const OpeningSettings& s, std::vector<Opening>& out, std::string& error) {
  initRules();
  out.clear();
  std::ifstream in(s.file);
  if (!in) {
    error = s.file + ": cannot read the openings file";
    return false;
  }
  std::string why;
  if (s.pgn) {
    PgnReader reader(in, s.plies);
    Opening o;
    int line = 0;
    while (reader.next(o, line, why)) out.push_back(o);
    if (!why.empty()) {
      error = s.file + ":" + std::to_string(line) + ": " + why;
      return false;
    }
  } else {
    std::string text;
    GamePosition pos;
    for (int line = 1; std::getline(in, text); ++line) {
      if (!text.empty() && text.back() == '\r') text.pop_back();
      if (text.find_first_not_of(" \t") == std::string::npos || text[0] == '#') continue;
      Opening o;
      if (!readEpd(text, pos, o, why)) {
        error = s.file + ":" + std::to_string(line) + ": " + why;
        return false;
      }
      out.push_back(o);
    }
  }
  if (out.empty()) {
    error = s.file + ": no openings in the file";
    return false;
  }
  if (static_cast<std::size_t>(s.start) > out.size()) {
    error = s.file + ": start=" + std::to_string(s.start) + " but the file has " + std::to_string(out.size()) +
            " openings";
    return false;
  }
  return true;
}

std::size_t openingIndex(const OpeningSettings& s, std::size_t count, std::uint64_t seed, std::int64_t pair) {
  const std::size_t slot = (static_cast<std::size_t>(s.start - 1) + static_cast<std::size_t>(pair)) % count;
  if (!s.random) return slot;
  // The permutation is drawn once per call from the seed alone, the same on every machine, so a
  // shard picks the same opening for a pair as a whole run does. Cached: the count and seed do
  // not change within a run.
  thread_local std::vector<std::size_t> perm;
  thread_local std::uint64_t permSeed = 0;
  if (perm.size() != count || permSeed != seed) {
    perm.resize(count);
    for (std::size_t i = 0; i < count; ++i) perm[i] = i;
    std::uint64_t state = seed;
    for (std::size_t i = count - 1; i > 0; --i) std::swap(perm[i], perm[splitmix64(state) % (i + 1)]);
    permSeed = seed;
  }
  return perm[slot];
}

}  // namespace Match
