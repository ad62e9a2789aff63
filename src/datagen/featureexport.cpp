// Reading the data lines written by datagen and exporting the evaluation features of each position.
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "datagen/datagen.h"
#include "tune/tune.h"
#include "text/numbers.h"

namespace {

std::string_view trimRight(std::string_view s) {
  while (!s.empty()) {
    const char c = s.back();
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') break;
    s.remove_suffix(1);
  }
  return s;
}

// Splits the last "[...]" off text (which must end with "]"): inside gets the bracket's content,
// text keeps what precedes the "[", trimmed. False when there is no "[".
bool takeLastBracket(std::string_view& text, std::string_view& inside) {
  const std::size_t open = text.rfind('[');
  if (open == std::string_view::npos) return false;
  inside = text.substr(open + 1, text.size() - open - 2);
  text = trimRight(text.substr(0, open));
  return true;
}

void appendInt(std::string& s, int v) {
  char buf[16];
  const auto end = std::to_chars(buf, buf + sizeof(buf), v).ptr;
  s.append(buf, end);
}

// "1", "0.5" or "0": how the stream's default format writes the three results.
const char* resultText(double r) { return r == 1.0 ? "1" : r == 0.0 ? "0" : "0.5"; }

void appendFeatureLine(std::string& line, double result, const Tune::Trace& t) {
  int k = 0;
  for (int i = 0; i < Tune::NPARAMS; ++i) k += (t.coefMg[i] != 0 || t.coefEg[i] != 0);
  line.clear();
  line += resultText(result);
  for (const int v : {t.phase, t.scale, t.mgBase, t.egBase, k}) {
    line += ' ';
    appendInt(line, v);
  }
  for (int i = 0; i < Tune::NPARAMS; ++i) {
    if (t.coefMg[i] == 0 && t.coefEg[i] == 0) continue;
    line += ' ';
    appendInt(line, i);
    line += ' ';
    appendInt(line, t.coefMg[i]);
    line += ' ';
    appendInt(line, t.coefEg[i]);
  }
  line += '\n';
}

}  // namespace

bool parseDataGenLine(const std::string& line, DataGenSample& sample) {
  std::string_view text = trimRight(line);
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

int runFeatureExport(const std::string& inputPath, const std::string& outputPath) {
  std::error_code ec;
  // A directory opens for reading on some systems and then reads as nothing: refuse it as
  // unopenable.
  std::ifstream in;
  if (!std::filesystem::is_directory(inputPath, ec))
    in.open(inputPath, std::ios::in | std::ios::binary);
  if (!in.is_open()) {
    std::cerr << "featureexport: не відкрити вхід: " << inputPath << "\n";
    return 1;
  }
  // Truncating the output first would destroy the input when both name one file (the same path, a
  // link, "./x" and "x").
  if (std::filesystem::equivalent(inputPath, outputPath, ec)) {
    std::cerr << "featureexport: вхід і вихід — один файл: " << outputPath << "\n";
    return 1;
  }
  std::ofstream out(outputPath, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!out.is_open()) {
    std::cerr << "featureexport: не відкрити вихід: " << outputPath << "\n";
    return 1;
  }

  auto board = std::make_unique<Board>();
  auto trace = std::make_unique<Tune::Trace>();
  DataGenSample sample;
  std::string text;
  std::string line;
  long long written = 0;
  long long invalid = 0;
  while (std::getline(in, text)) {
    // Blank lines (blanks, tabs, a carriage return) are spacing, not bad data.
    if (trimRight(text).empty()) continue;
    if (!parseDataGenLine(text, sample) || !board->setFen(sample.fen)) {
      ++invalid;
      continue;
    }
    *trace = Tune::Trace{};
    Tune::extract(*board, *trace);
    appendFeatureLine(line, sample.result, *trace);
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    ++written;
  }
  out.flush();
  // A read error or a full disk must not pass for a complete export.
  if (in.bad()) {
    std::cerr << "featureexport: помилка читання: " << inputPath << "\n";
    return 1;
  }
  if (!out) {
    std::cerr << "featureexport: помилка запису: " << outputPath << "\n";
    return 1;
  }
  std::cerr << "featureexport: " << written << " позицій, " << invalid << " невалідних, "
            << Tune::NPARAMS << " параметрів\n";
  return 0;
}
