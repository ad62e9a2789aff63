// The data line: one position of a self-play game, "FEN [result]" or "FEN [result] [score]", the
// result and the score from White's view. datagen writes it; featureexport and quorvane-tune read
// it.
#pragma once

#include <string>
#include <string_view>

namespace DataLine {

struct Sample {
  std::string fen;
  double result = 0.5;  // 1.0, 0.5 or 0.0
  int score = 0;        // 0 when the line has none
  bool hasScore = false;
};

// A data line ends with its result or score bracket (trailing blanks aside); a feature line with a
// number. Tells the two formats apart without parsing.
bool looksLikeDataLine(std::string_view line);

// Reads "FEN [result]" or "FEN [result] [score]": the result one of 1.0, 0.5, 0.0, the score a
// strict decimal integer; trailing blanks are allowed. The FEN is not checked here (the board
// does that). False on anything else; sample is then unspecified.
bool parse(std::string_view line, Sample& sample);

// Appends the line of fen with result (1.0, 0.5 or 0.0; written "1.0", "0.5", "0.0") and, when
// hasScore, the score; then a line feed.
void append(std::string& out, std::string_view fen, double result, bool hasScore, int score);

}  // namespace DataLine
