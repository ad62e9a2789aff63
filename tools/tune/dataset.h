// Training data in memory: the readers for the "featureexport" line format and for the data lines
// datagen writes (their features computed here with the engine's own extraction), and the compact
// struct-of-arrays data set the tuner runs over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "board/board.h"
#include "tune/tune.h"

namespace TuneTool {

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

// One parsed line, before it is stored.
struct FeatureLine {
  float result = 0.5f;
  int phase = 0;
  int scale = 64;
  std::int32_t mgBase = 0;
  std::int32_t egBase = 0;
  std::vector<Entry> entries;
  std::int16_t score = kNoScore;  // White's view, in the evaluation's unit
  std::uint8_t clock = 0;         // halfmove clock; feature lines carry none
};

// Parses one line: result (a number in 0..1), phase (0..24), scale (0..64), mgBase, egBase, k, then
// k triples "index coefMg coefEg" with increasing indices in 0..NPARAMS-1 and coefficients that fit
// a byte. Fields are separated by blanks or tabs; a trailing carriage return is allowed. On failure
// returns false and sets why to a short reason; out is then unspecified.
bool parseFeatureLine(std::string_view line, FeatureLine& out, const char*& why);

// Reads one datagen line ("FEN [result] [score]", the score optional) and fills out with the
// position's features from Tune::extract, its score and its halfmove clock. board and trace are
// scratch space. On failure returns false with a short reason in why.
bool parseDataLine(const std::string& line, Board& board, Tune::Trace& trace, FeatureLine& out,
                   const char*& why);

// Positions in struct-of-arrays form: about 25 bytes per position plus 4 per nonzero coefficient.
class DataSet {
 public:
  std::size_t size() const { return result_.size(); }
  bool empty() const { return result_.empty(); }
  void reserve(std::size_t positions, std::size_t entries);
  void add(const FeatureLine& line);
  // Positions [first, first + count) are one game: the validation split keeps them together.
  void addGame(std::uint32_t first, std::uint32_t count) {
    if (count > 1) games_.push_back({first, count});
  }
  struct Game {
    std::uint32_t first, count;
  };
  // Games of more than one position, in position order; other positions stand alone.
  const std::vector<Game>& games() const { return games_; }
  std::size_t positionsWithoutScore() const;
  // Replaces the result r of each position with a score by lambda * sigmoid(k * score) +
  // (1 - lambda) * r, the target of the fit.
  void blendTargets(double lambda, double k);
  std::size_t entryCount() const { return entries_.size(); }
  // Bytes the stored positions take (sizes, not reserved capacity: a reservation made from the
  // file sizes is never touched beyond what is filled, so it costs address space, not memory).
  std::size_t bytesUsed() const;

  float result(std::size_t i) const { return result_[i]; }
  int phase(std::size_t i) const { return phase_[i]; }
  int scale(std::size_t i) const { return scale_[i]; }
  std::int32_t mgBase(std::size_t i) const { return mgBase_[i]; }
  std::int32_t egBase(std::size_t i) const { return egBase_[i]; }
  int clock(std::size_t i) const { return clock_[i]; }
  std::int16_t score(std::size_t i) const { return score_[i]; }
  const Entry* begin(std::size_t i) const { return entries_.data() + start_[i]; }
  const Entry* end(std::size_t i) const { return entries_.data() + start_[i + 1]; }
  // Which parameters have a nonzero coefficient in at least one position.
  std::vector<bool> activeParams() const;

 private:
  std::vector<float> result_;
  std::vector<std::uint8_t> phase_;
  std::vector<std::uint8_t> scale_;
  std::vector<std::int32_t> mgBase_;
  std::vector<std::int32_t> egBase_;
  std::vector<std::uint8_t> clock_;
  std::vector<std::int16_t> score_;
  std::vector<std::uint64_t> start_ = {0};  // size() + 1 offsets into entries_
  std::vector<Entry> entries_;
  std::vector<Game> games_;
};

// Which reader a file gets: by its first non-blank line (a data line ends with "]"), or forced.
enum class FileFormat { Auto, Features, Data };

// What to leave out of data files, and what to change in them (feature lines carry no position to
// decide it by). The filters apply in this order, each position counted by the first that drops it.
struct LoadFilter {
  bool dropCheck = false;  // skip positions whose side to move is in check
  int maxScore = 0;        // > 0: skip positions whose search score is beyond +-maxScore
  bool dedup = false;      // keep only the first position of each key in the whole data set
  bool dropNoisy = false;  // skip positions where the quiescence search prefers a capture or
                           // promotion to standing pat
  bool resolve = false;    // replace each position by the end of its quiescence variation
};

// What a load found, per file and in total.
struct LoadReport {
  std::size_t lines = 0;  // non-empty lines read
  std::size_t accepted = 0;
  std::size_t malformed = 0;
  std::size_t filtered = 0;  // valid lines left out by --max-score
  std::size_t inCheck = 0;   // ... by dropCheck
  std::size_t duplicates = 0;
  std::size_t noisy = 0;
  std::size_t resolved = 0;  // positions that resolve replaced by another one
  std::size_t dataFiles = 0;
  std::size_t games = 0;  // games found in data files
  // The first few malformed lines: "FILE:LINE: reason".
  std::vector<std::string> examples;
};

// Appends the positions of the files to data, in order. Empty lines are ignored; malformed lines
// are counted in report and skipped. Consecutive data lines form one game while they share the
// result and their plies increase. Returns false (with error set) when a file cannot be read or holds
// a line of more than 16 MiB ("FILE:LINE: ..."); the positions of the files before it stay in data.
bool loadFiles(const std::vector<std::string>& paths, FileFormat format, const LoadFilter& filter,
               DataSet& data, LoadReport& report, std::string& error);
inline bool loadFeatureFiles(const std::vector<std::string>& paths, DataSet& data,
                             LoadReport& report, std::string& error) {
  return loadFiles(paths, FileFormat::Features, {}, data, report, error);
}

// "skipped N malformed lines (FILE:LINE: reason; ...)", or "" when there were none.
std::string malformedSummary(const LoadReport& report);

}  // namespace TuneTool
