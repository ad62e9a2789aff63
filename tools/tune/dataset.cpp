// Loading feature and data files into the compact data set.
#include "tools/tune/dataset.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_set>

#include "formats/data_line.h"
#include "tools/tune/model.h"
#include "tools/tune/quiet.h"

namespace TuneTool {

namespace {

constexpr std::size_t kMaxExamples = 5;
// No line of either format comes near this (a feature line with every parameter is about 17 KB);
// a file without line feeds (a device, a sparse file) must stop the read rather than exhaust memory.
constexpr std::size_t kMaxLineBytes = std::size_t{16} << 20;

// Reads the line into sample and board, without the features.
bool readDataLine(std::string_view line, Board& board, DataLine::Sample& sample, const char*& why) {
  if (!DataLine::parse(line, sample)) return why = "not a data line (FEN [result] [score])", false;
  if (!board.setFen(sample.fen)) return why = "bad FEN", false;
  return true;
}

// The features of the position on board, with the line's result and score.
bool fillFeatures(const Board& board, const DataLine::Sample& sample, Tune::Trace& trace,
                  Features::Line& out, const char*& why) {
  Tune::extract(board, trace);
  // Only a FEN with absurd piece counts fails here.
  if (!Tune::toFeatures(trace, sample.result, out, why)) return false;
  // Mate scores reach 30000; anything beyond the 16-bit range is not a search score.
  out.score = sample.hasScore ? static_cast<std::int16_t>(std::clamp(sample.score, -32000, 32000))
                              : kNoScore;
  out.clock = board.halfmoveClock;
  return true;
}

}  // namespace

bool parseDataLine(std::string_view line, Board& board, Tune::Trace& trace, Features::Line& out,
                   const char*& why) {
  DataLine::Sample sample;
  return readDataLine(line, board, sample, why) && fillFeatures(board, sample, trace, out, why);
}

void DataSet::reserve(std::size_t positions, std::size_t entries) {
  result_.reserve(positions);
  phase_.reserve(positions);
  scale_.reserve(positions);
  mgBase_.reserve(positions);
  egBase_.reserve(positions);
  clock_.reserve(positions);
  score_.reserve(positions);
  start_.reserve(positions + 1);
  entries_.reserve(entries);
}

void DataSet::add(const Features::Line& line) {
  result_.push_back(line.result);
  phase_.push_back(static_cast<std::uint8_t>(line.phase));
  scale_.push_back(static_cast<std::uint8_t>(line.scale));
  mgBase_.push_back(line.mgBase);
  egBase_.push_back(line.egBase);
  clock_.push_back(line.clock);
  score_.push_back(line.score);
  entries_.insert(entries_.end(), line.entries.begin(), line.entries.end());
  start_.push_back(entries_.size());
}

std::size_t DataSet::bytesUsed() const {
  return result_.size() * sizeof(float) + phase_.size() + scale_.size() + clock_.size() +
         score_.size() * sizeof(std::int16_t) +
         (mgBase_.size() + egBase_.size()) * sizeof(std::int32_t) +
         start_.size() * sizeof(std::uint64_t) + entries_.size() * sizeof(Entry) +
         games_.size() * sizeof(Game);
}

std::size_t DataSet::positionsWithoutScore() const {
  std::size_t n = 0;
  for (const std::int16_t s : score_) n += s == kNoScore;
  return n;
}

void DataSet::blendTargets(double lambda, double k) {
  if (lambda <= 0) return;
  for (std::size_t i = 0; i < result_.size(); ++i)
    if (score_[i] != kNoScore)
      result_[i] = static_cast<float>(lambda * sigmoid(score_[i], k) + (1 - lambda) * result_[i]);
}

std::vector<bool> DataSet::activeParams() const {
  std::vector<bool> active(Tune::NPARAMS, false);
  for (const Entry& e : entries_) active[e.index] = true;
  return active;
}

namespace {

void noteMalformed(LoadReport& report, const std::string& path, std::size_t lineNo,
                   const char* why) {
  ++report.malformed;
  if (report.examples.size() < kMaxExamples)
    report.examples.push_back(path + ":" + std::to_string(lineNo) + ": " + why);
}

// Whether the first non-blank line among the file's first 64 KB is a data line.
bool firstLineIsData(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::string head(1 << 16, '\0');
  head.resize(std::fread(head.data(), 1, head.size(), f));
  std::fclose(f);
  for (std::size_t from = 0; from < head.size();) {
    const std::size_t nl = std::min(head.find('\n', from), head.size());
    const std::string_view text(head.data() + from, nl - from);
    if (text.find_first_not_of(" \t\r") != std::string_view::npos) return DataLine::looksLikeDataLine(text);
    from = nl + 1;
  }
  return false;
}

// What the filters keep across the files of one load.
struct FilterState {
  const LoadFilter& filter;
  std::unordered_set<u64> seen;        // keys of the positions kept, with dedup
  std::unique_ptr<QuietSearch> quiet;  // with dropNoisy or resolve
};

// Whole-file reader for both formats: what the lines say is up to the parser of the file's format.
class FileLoader {
 public:
  FileLoader(const std::string& path, FileFormat format, FilterState& state, DataSet& data,
             LoadReport& report)
      : path_(path), format_(format), state_(state), filter_(state.filter), data_(data),
        report_(report) {
    line_.entries.reserve(Tune::NPARAMS);
  }

  bool load(std::string& error);

 private:
  void handle(std::string_view text);
  void handleData(std::string_view text);
  void endGame() {
    data_.addGame(gameFirst_, static_cast<std::uint32_t>(data_.size()) - gameFirst_);
    gameFirst_ = static_cast<std::uint32_t>(data_.size());
  }

  const std::string& path_;
  FileFormat format_;
  FilterState& state_;
  const LoadFilter& filter_;
  DataSet& data_;
  LoadReport& report_;
  Features::Line line_;
  std::size_t lineNo_ = 0;
  // Data files only.
  std::unique_ptr<Board> board_;
  std::unique_ptr<Tune::Trace> trace_;
  std::uint32_t gameFirst_ = 0;
  float gameResult_ = -1;
  int gamePly_ = 0;
};

void FileLoader::handle(std::string_view text) {
  ++lineNo_;
  if (text.find_first_not_of(" \t\r") == std::string_view::npos) return;
  if (format_ == FileFormat::Auto)
    format_ = DataLine::looksLikeDataLine(text) ? FileFormat::Data : FileFormat::Features;
  ++report_.lines;
  if (format_ == FileFormat::Data) return handleData(text);
  const char* why = "";
  if (Features::parse(text, line_, why)) {
    data_.add(line_);
    ++report_.accepted;
  } else {
    noteMalformed(report_, path_, lineNo_, why);
  }
}

void FileLoader::handleData(std::string_view text) {
  if (!board_) {
    board_ = std::make_unique<Board>();
    trace_ = std::make_unique<Tune::Trace>();
    gameFirst_ = static_cast<std::uint32_t>(data_.size());
    ++report_.dataFiles;
  }
  const char* why = "";
  DataLine::Sample sample;
  Board& b = *board_;
  if (!readDataLine(text, b, sample, why) || !fillFeatures(b, sample, *trace_, line_, why)) {
    noteMalformed(report_, path_, lineNo_, why);
    return;
  }
  // One ply per kept position: a game goes on while the result stays and the ply grows.
  const int ply = 2 * b.fullmoveNumber + (b.side == Black);
  if (line_.result != gameResult_ || ply <= gamePly_) {
    endGame();
    ++report_.games;
  }
  gameResult_ = line_.result;
  gamePly_ = ply;
  if (filter_.dropCheck && b.inCheck()) {
    ++report_.inCheck;
    return;
  }
  if (filter_.maxScore > 0 && sample.hasScore &&
      (sample.score > filter_.maxScore || sample.score < -filter_.maxScore)) {
    ++report_.filtered;
    return;
  }
  if (filter_.dedup && !state_.seen.insert(b.key).second) {
    ++report_.duplicates;
    return;
  }
  if (filter_.dropNoisy && state_.quiet->bestMove(b) != 0) {
    ++report_.noisy;
    return;
  }
  // The line's result and score stay: they are what the quiet position is fitted to.
  if (filter_.resolve && state_.quiet->resolve(b) > 0) {
    ++report_.resolved;
    // Only absurd piece counts fail here (a promotion adds a piece).
    if (!fillFeatures(b, sample, *trace_, line_, why)) {
      noteMalformed(report_, path_, lineNo_, why);
      return;
    }
  }
  data_.add(line_);
  ++report_.accepted;
}

bool FileLoader::load(std::string& error) {
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file(std::fopen(path_.c_str(), "rb"));
  if (!file) {
    error = "cannot open " + path_ + ": " + std::strerror(errno);
    return false;
  }
  // Lines are cut out of a large read buffer; a line that straddles two reads is moved to the
  // front.
  std::vector<char> buffer(1 << 20);
  std::size_t filled = 0;
  for (;;) {
    if (filled == buffer.size()) {
      if (filled > kMaxLineBytes) {
        error = path_ + ":" + std::to_string(lineNo_ + 1) + ": a line longer than " +
                std::to_string(kMaxLineBytes >> 20) + " MiB; not a data or feature file";
        return false;
      }
      buffer.resize(buffer.size() * 2);  // a line longer than the buffer
    }
    const std::size_t got =
        std::fread(buffer.data() + filled, 1, buffer.size() - filled, file.get());
    if (got == 0) {
      if (std::ferror(file.get())) {
        error = "cannot read " + path_ + ": " + std::strerror(errno);
        return false;
      }
      if (filled > 0) handle({buffer.data(), filled});  // last line without a line feed
      if (board_) endGame();
      return true;
    }
    filled += got;
    std::size_t from = 0;
    for (;;) {
      const void* nl = std::memchr(buffer.data() + from, '\n', filled - from);
      if (nl == nullptr) break;
      const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(nl) - buffer.data());
      handle({buffer.data() + from, at - from});
      from = at + 1;
    }
    std::memmove(buffer.data(), buffer.data() + from, filled - from);
    filled -= from;
  }
}

}  // namespace

bool loadFiles(const std::vector<std::string>& paths, FileFormat format, const LoadFilter& filter,
               DataSet& data, LoadReport& report, std::string& error) {
  // Reserve from the file sizes so that the arrays never grow by copying: a feature line takes at
  // least 12 bytes ("0 0 0 0 0 0\n") and a triple at least 6; a data line at least 24 bytes, and
  // a position has far fewer than 64 nonzero coefficients on average. Pages past what is filled
  // are never touched, so an overestimate costs address space, not memory.
  std::size_t positions = 0, entries = 0;
  for (const std::string& p : paths) {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    const auto bytes = static_cast<std::size_t>(st.st_size);
    const bool dataFile =
        format == FileFormat::Data || (format == FileFormat::Auto && firstLineIsData(p));
    positions += dataFile ? bytes / 24 : bytes / 12;
    entries += dataFile ? bytes / 24 * 64 : bytes / 6;
  }
  try {
    data.reserve(data.size() + positions, data.entryCount() + entries);
  } catch (const std::bad_alloc&) {
    // Without the reservation the arrays grow as they fill.
  }
  FilterState state{filter, {}, nullptr};
  if (filter.dropNoisy || filter.resolve) state.quiet = std::make_unique<QuietSearch>();
  for (const std::string& p : paths) {
    FileLoader loader(p, format, state, data, report);
    if (!loader.load(error)) return false;
  }
  return true;
}

std::string malformedSummary(const LoadReport& report) {
  if (report.malformed == 0) return "";
  std::string s = "skipped " + std::to_string(report.malformed) + " malformed line" +
                  (report.malformed == 1 ? "" : "s") + " (";
  for (std::size_t i = 0; i < report.examples.size(); ++i)
    s += (i ? "; " : "") + report.examples[i];
  if (report.malformed > report.examples.size()) s += "; ...";
  return s + ")";
}

}  // namespace TuneTool
