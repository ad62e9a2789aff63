// The data line's reader and writer.
#include "formats/data_line.h"

#include <charconv>

#include "formats/blanks.h"
#include "text/numbers.h"

namespace DataLine {

namespace {

// Splits the last "[...]" off text (which must end with "]"): inside gets the bracket's content,
// text keeps what precedes the "[", trimmed. False when there is no "[".
bool takeLastBracket(std::string_view& text, std::string_view& inside) {
  const std::size_t open = text.rfind('[');
  if (open == std::string_view::npos) return false;
  inside = text.substr(open + 1, text.size() - open - 2);
  text = Formats::trimTrailingBlanks(text.substr(0, open));
  return true;
}

}  // namespace

bool looksLikeDataLine(std::string_view line) {
  line = Formats::trimTrailingBlanks(line);
  return !line.empty() && line.back() == ']';
}

bool parse(std::string_view line, Sample& sample) {
  std::string_view text = Formats::trimTrailingBlanks(line);
  if (text.empty() || text.back() != ']') return false;
  std::string_view last;
  if (!takeLastBracket(text, last)) return false;

  std::string_view resultPart = last;
  std::string_view scorePart;
  const bool hasScore = !text.empty() && text.back() == ']';
  if (hasScore) {
    scorePart = last;
    if (!takeLastBracket(text, resultPart)) return false;
  }

  double result;
  if (resultPart == "1.0")
    result = 1.0;
  else if (resultPart == "0.5")
    result = 0.5;
  else if (resultPart == "0.0")
    result = 0.0;
  else
    return false;

  int score = 0;
  if (hasScore && !parseIntStrict(scorePart, score)) return false;
  if (text.empty()) return false;

  sample.fen.assign(text);
  sample.result = result;
  sample.score = score;
  sample.hasScore = hasScore;
  return true;
}

void append(std::string& out, std::string_view fen, double result, bool hasScore, int score) {
  out += fen;
  out += result == 1.0 ? " [1.0]" : result == 0.0 ? " [0.0]" : " [0.5]";
  if (hasScore) {
    char buf[16];
    out += " [";
    out.append(buf, std::to_chars(buf, buf + sizeof buf, score).ptr);
    out += ']';
  }
  out += '\n';
}

}  // namespace DataLine
