// Training data in memory: feature files and data files (their lines read by src/formats, the
// features of data lines computed here with the engine's own extraction) loaded into the compact
// struct-of-arrays data set the tuner runs over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "board/board.h"
#include "formats/feature_line.h"
#include "tune/tune.h"

namespace TuneTool {

// The record of a feature line and its sparse entries are the feature-line module's.
using Features::Entry;
using Features::kNoScore;

// Reads one data line and fills out with the position's features from Tune::extract, its score and
// its halfmove clock. board and trace are scratch space. On failure returns false with a short
// reason in why.
bool parseDataLine(std::string_view line, Board& board, Tune::Trace& trace, Features::Line& out,
                   const char*& why);

// Positions in struct-of-arrays form: about 25 bytes per position plus 4 per nonzero coefficient.
class DataSet {
 public:
  std::size_t size() const { return result_.size(); }
  bool empty() const { return result_.empty(); }
  void reserve(std::size_t positions, std::size_t entries);
  void add(const Features::Line& line);
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
