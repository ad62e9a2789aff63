// The feature line: the evaluation of one position as a linear function of the parameter vector,
// "result phase scale mgBase egBase k" and then k triples "index coefMg coefEg" of the nonzero
// coefficients. featureexport writes it; quorvane-tune reads it (and builds the same record from
// data lines).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Features {

// One nonzero coefficient pair. Coefficients are White-minus-Black piece or feature counts, so a
// byte holds every value a legal position produces (at most 10 pieces of one kind per side).
struct Entry {
  std::uint16_t index;
  std::int8_t mg;
  std::int8_t eg;
};
static_assert(sizeof(Entry) == 4);

// Marks a position without a search score (feature lines, datagen lines written with score=0).
inline constexpr std::int16_t kNoScore = INT16_MIN;

// One line as a record. The score and the halfmove clock are not part of the line: the tuner fills
// them from data lines.
struct Line {
  float result = 0.5f;
  int phase = 0;
  int scale = 64;
  std::int32_t mgBase = 0;
  std::int32_t egBase = 0;
  std::vector<Entry> entries;  // increasing indices
  std::int16_t score = kNoScore;  // White's view, in the evaluation's unit
  std::uint8_t clock = 0;         // halfmove clock
};

// The nonzero pairs of two coefficient arrays of the parameter vector's length, in index order
// (how a trace becomes a line). False with why set when a coefficient does not fit a byte, which
// only a FEN with absurd piece counts produces.
bool sparseEntries(const int coefMg[], const int coefEg[], std::vector<Entry>& entries,
                   const char*& why);

// Parses one line: result (a number in 0..1), phase (0..24), scale (0..64), mgBase, egBase, k, then
// k triples with increasing indices in 0..NPARAMS-1 and coefficients that fit a byte. Fields are
// separated by blanks or tabs; trailing blanks and a carriage return are allowed. On failure
// returns false and sets why to a short reason; out is then unspecified.
bool parse(std::string_view line, Line& out, const char*& why);

// Appends line (its result written in the shortest form: "1", "0.5", "0") and a line feed.
void append(std::string& out, const Line& line);

}  // namespace Features
