// Evaluation trace output and the from-scratch recounts that check the cached values.
#include "eval/trace.h"

#include <iostream>
#include <string>

#include "eval/eval.h"
#include "eval/pawns.h"

bool gEvalTrace = false;

void setEvalTrace(bool on) { gEvalTrace = on; }

namespace {

// A non-negative number gets one leading space so that signs line up in the columns.
std::string signAligned(int v) {
  std::string s(v >= 0 ? 1 : 0, ' ');
  return s += std::to_string(v);
}

std::string row(const char* label, ScorePair p) {
  std::string s = "  ";
  s += label;
  if (s.size() < 18) s.append(18 - s.size(), ' ');
  return s + signAligned(p.mg) + " / " + signAligned(p.eg) + "\n";
}

}  // namespace

void traceEval(const ScorePair terms[8], int phase, int scale, int whiteValue, Color sideToMove) {
  static const char* const kLabels[7] = {"material+psqt", "king",          "bishop pair", "mobility",
                                         "king safety",   "rooks (files)", "pawns"};
  std::string out = "eval trace (з точки зору білих, mg / eg):\n";
  for (int i = 0; i < 7; ++i) out += row(kLabels[i], terms[i]);
  out += "  ----------------\n";
  out += row("total", terms[7]);
  out += "  phase           " + std::to_string(phase) + " / 24\n";
  out += "  eg scale        " + std::to_string(scale) + " / 64\n";
  out += "  final (white)   " + std::to_string(whiteValue) + "\n";
  out += std::string("  final (stm=") + (sideToMove == White ? "w" : "b") + ")      " +
         std::to_string(sideToMove == White ? whiteValue : -whiteValue) + "\n";
  std::cout << out << std::flush;
}

void evalStateCheck(const Board& b, int& psqMg, int& psqEg, int& npmWhite, int& npmBlack, int& phase,
                    int& freshMg, int& freshEg, int& freshNpmWhite, int& freshNpmBlack,
                    int& freshPhase) {
  using namespace EvalParams;
  psqMg = b.psqMg;
  psqEg = b.psqEg;
  npmWhite = b.nonPawnMaterial[White];
  npmBlack = b.nonPawnMaterial[Black];
  phase = b.phase < 24 ? b.phase : 24;

  int mg = 0, eg = 0, npm[2] = {0, 0}, ph = 0;
  for (Color c = White; c <= Black; ++c) {
    const int sign = c == White ? 1 : -1;
    const int flip = c == White ? 56 : 0;  // tables are printed from White's side, rank 8 first
    for (Piece t = Pawn; t <= Queen; ++t)
      for (u64 x = b.pieces[c][t]; x;) {
        const int i = popLsb(x) ^ flip;
        mg += sign * kSquareValue[0][t][i];
        eg += sign * kSquareValue[1][t][i];
        if (t != Pawn) npm[c] += kMgValue[t];
      }
    ph += popcount(b.pieces[c][Knight]) + popcount(b.pieces[c][Bishop]) +
          2 * popcount(b.pieces[c][Rook]) + 4 * popcount(b.pieces[c][Queen]);
  }
  freshMg = mg;
  freshEg = eg;
  freshNpmWhite = npm[White];
  freshNpmBlack = npm[Black];
  freshPhase = ph < 24 ? ph : 24;
}

void evalPawnsCheck(const Board& b, int& hashedMg, int& hashedEg, int& rawMg, int& rawEg) {
  const ScorePair hashed = evalPawns(b);
  const ScorePair raw = evalPawnsRaw(b);
  hashedMg = hashed.mg;
  hashedEg = hashed.eg;
  rawMg = raw.mg;
  rawEg = raw.eg;
}
