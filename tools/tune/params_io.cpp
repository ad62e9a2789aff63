// Freeze patterns, the parameter listing and the C++ table writer.
#include "tools/tune/params_io.h"

#include <charconv>
#include <cstdio>
#include <istream>
#include <ostream>
#include <sstream>

namespace TuneTool {

bool globMatch(std::string_view pattern, std::string_view name) {
  // Iterative matcher with one backtrack point: the last '*' and where its run may resume.
  std::size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p, ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool freezeByPatterns(std::string_view patterns, std::vector<bool>& frozen, std::string& error) {
  frozen.resize(Tune::NPARAMS, false);
  for (;;) {
    const std::size_t comma = patterns.find(',');
    const std::string_view pattern = patterns.substr(0, comma);
    if (pattern.empty()) {
      error = "empty freeze pattern";
      return false;
    }
    bool any = false;
    for (int i = 0; i < Tune::NPARAMS; ++i)
      if (globMatch(pattern, Tune::paramName(i))) frozen[static_cast<std::size_t>(i)] = any = true;
    if (!any) {
      error = "freeze pattern '" + std::string(pattern) + "' matches no parameter";
      return false;
    }
    if (comma == std::string_view::npos) return true;
    patterns.remove_prefix(comma + 1);
  }
}

void writeParamListing(std::ostream& out, const int values[Tune::NPARAMS]) {
  out << "# Quorvane tune params: index name value  (NPARAMS=" << Tune::NPARAMS << ")\n";
  for (int i = 0; i < Tune::NPARAMS; ++i)
    out << i << ' ' << Tune::paramName(i) << ' ' << values[i] << '\n';
}

bool readParamListing(std::istream& in, int values[Tune::NPARAMS], std::string& error) {
  std::vector<bool> seen(Tune::NPARAMS, false);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string indexText, name, valueText, extra;
    fields >> indexText >> name >> valueText;
    int index = -1, value = 0;
    const auto whole = [](const std::string& t, int& v) {
      const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
      return !t.empty() && ec == std::errc() && ptr == t.data() + t.size();
    };
    if (!whole(indexText, index) || index < 0 || index >= Tune::NPARAMS ||
        !whole(valueText, value) || (fields >> extra)) {
      error = "line " + std::to_string(lineNo) + ": expected \"index name value\"";
      return false;
    }
    if (name != Tune::paramName(index)) {
      error = "line " + std::to_string(lineNo) + ": parameter " + std::to_string(index) + " is " +
              Tune::paramName(index) + ", not " + name;
      return false;
    }
    if (seen[static_cast<std::size_t>(index)]) {
      error = "line " + std::to_string(lineNo) + ": parameter " + name + " listed twice";
      return false;
    }
    seen[static_cast<std::size_t>(index)] = true;
    values[index] = value;
  }
  for (int i = 0; i < Tune::NPARAMS; ++i)
    if (!seen[static_cast<std::size_t>(i)]) {
      error = "parameter " + std::to_string(i) + " " + Tune::paramName(i) + " is missing";
      return false;
    }
  return true;
}

namespace {

constexpr const char* kPieceNames[6] = {"pawn", "knight", "bishop", "rook", "queen", "king"};

// Eight numbers per row, a8 first, as the engine's piece-square sources print them.
void writeSquares(std::ostream& out, const int* v, const char* indent) {
  char cell[16];
  for (int row = 0; row < 8; ++row) {
    out << indent;
    for (int col = 0; col < 8; ++col) {
      std::snprintf(cell, sizeof cell, "%4d,", v[row * 8 + col]);
      out << (col ? " " : "") << cell;
    }
    out << '\n';
  }
}

void writeList(std::ostream& out, const int* v, int n) {
  for (int i = 0; i < n; ++i) out << (i ? ", " : "") << v[i];
}

}  // namespace

void writeCppTables(std::ostream& out, const int values[Tune::NPARAMS]) {
  using namespace Tune;
  const int* v = values;
  out << "// Evaluation constants written by quorvane-tune. Paste each definition over the one of "
         "the\n"
         "// same name.\n\n";

  out << "// ---- src/eval/psqt.cpp ----\n\n";
  out << "constexpr int kMgValue[6] = {";
  writeList(out, v + kMatMg, 5);
  out << ", 0};\nconstexpr int kEgValue[6] = {";
  writeList(out, v + kMatEg, 5);
  out << ", 0};\n\n";

  out << "// Printed as White sees the board: rank 8 first, index 0 = a8, 63 = h1. The pawn rows "
         "of ranks 1\n"
         "// and 8 are fillers that no pawn ever reads.\n"
         "constexpr int kPSTMG[6][64] = {\n";
  for (int t = 0; t < 6; ++t) {
    out << "    {  // " << kPieceNames[t] << '\n';
    writeSquares(out, v + kPstMg + 64 * t, "        ");
    out << "    },\n";
  }
  out << "};\n\nconstexpr int kPSTEGPawn[64] = {\n";
  writeSquares(out, v + kPawnEg, "    ");
  out << "};\n\nconstexpr int kKingEG[64] = {\n";
  writeSquares(out, v + kKingEg, "    ");
  out << "};\n\n";

  out << "// The endgame piece-square value of a knight, bishop, rook or queen is its kPSTMG entry "
         "plus\n"
         "// this delta (pawn and king rows are unused). The engine has no such table yet: while "
         "every\n"
         "// entry is 0 nothing needs pasting; otherwise add it and let psqEntry add it to the "
         "endgame half.\n"
         "constexpr int kPSTEGDelta[6][64] = {\n";
  for (int t = 0; t < 6; ++t) {
    out << "    {  // " << kPieceNames[t] << '\n';
    writeSquares(out, v + kPstEgDelta + 64 * t, "        ");
    out << "    },\n";
  }
  out << "};\n\n";

  out << "// ---- src/eval/params.h ----\n\n";
  out << "// Mobility by [piece type][number of counted squares], written out in full: these "
         "replace the\n"
         "// linear rows that MobilityTables builds (and the two references that name them).\n";
  const char* halves[2] = {"Mg", "Eg"};
  const int maxCount[6] = {0, 8, 13, 14, 27, 0};
  for (int h = 0; h < 2; ++h) {
    out << "inline constexpr int kMobility" << halves[h] << "[6][28] = {\n";
    for (int t = 0; t < 6; ++t) {
      int row[28] = {};
      if (t >= Knight && t <= Queen)
        for (int n = 0; n <= maxCount[t]; ++n)
          row[n] = v[(h == 0 ? kMobMgStart[t] : kMobEgStart[t]) + n];
      out << "    {";
      writeList(out, row, 14);
      out << ",\n     ";
      writeList(out, row + 14, 14);
      out << "},  // " << kPieceNames[t] << '\n';
    }
    out << "};\n";
  }
  out << "\n// King danger by attack units, capped at 15.\n"
         "inline constexpr int kKsSafetyTable[16] = {";
  writeList(out, v + kKsSafetyIdx, 16);
  out << "};\n\n";
  out << "inline constexpr int kBishopPair = " << v[kBishopPairIdx]
      << ";  // same value in both halves\n"
      << "inline constexpr int kRookOpenMg = " << v[kRookOpenMgIdx] << ";\n"
      << "inline constexpr int kRookOpenEg = " << v[kRookOpenEgIdx] << ";\n"
      << "inline constexpr int kRookSemiMg = " << v[kRookSemiMgIdx] << ";\n"
      << "inline constexpr int kRookSemiEg = " << v[kRookSemiEgIdx] << ";\n\n";
  out << "// Passed pawns by relative rank 0..7 (ranks 0 and 7 cannot hold a pawn).\n"
         "inline constexpr int kPassedMg[8] = {";
  writeList(out, v + kPassedMgIdx, 8);
  out << "};\ninline constexpr int kPassedEg[8] = {";
  writeList(out, v + kPassedEgIdx, 8);
  out << "};\n"
      << "inline constexpr int kIsolatedMg = " << v[kIsolatedMgIdx] << ";\n"
      << "inline constexpr int kIsolatedEg = " << v[kIsolatedEgIdx] << ";\n"
      << "inline constexpr int kDoubledMg = " << v[kDoubledMgIdx] << ";\n"
      << "inline constexpr int kDoubledEg = " << v[kDoubledEgIdx] << ";\n"
      << "inline constexpr int kConnectedMg = " << v[kConnectedMgIdx] << ";\n"
      << "inline constexpr int kConnectedEg = " << v[kConnectedEgIdx] << ";\n\n"
      << "inline constexpr int kKsOpenFile = " << v[kKsOpenFileIdx]
      << ";    // subtracted per pawnless file next to the king\n";
}

}  // namespace TuneTool
