// Reading feature files into the compact data set.
#include "tools/tune/dataset.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace TuneTool {

namespace {

constexpr std::size_t kMaxExamples = 5;

// Fields are split on blanks and tabs; runs of them count as one separator.
class Fields {
 public:
  explicit Fields(std::string_view line) : p_(line.data()), end_(line.data() + line.size()) {}
  std::string_view next() {
    while (p_ < end_ && (*p_ == ' ' || *p_ == '\t')) ++p_;
    const char* s = p_;
    while (p_ < end_ && *p_ != ' ' && *p_ != '\t') ++p_;
    return {s, static_cast<std::size_t>(p_ - s)};
  }

 private:
  const char* p_;
  const char* end_;
};

// The whole field must be a decimal integer of type T (from_chars rejects overflow and a '+').
template <class T>
bool toInt(std::string_view f, T& v) {
  if (f.empty()) return false;
  const auto [ptr, ec] = std::from_chars(f.data(), f.data() + f.size(), v);
  return ec == std::errc() && ptr == f.data() + f.size();
}

bool toReal(std::string_view f, double& v) {
  if (f.empty()) return false;
  const auto [ptr, ec] = std::from_chars(f.data(), f.data() + f.size(), v);
  return ec == std::errc() && ptr == f.data() + f.size() && std::isfinite(v);
}

// Reads an integer field that must lie in lo..hi; why names the field on failure.
bool intIn(Fields& fields, int lo, int hi, int& v, const char* missing, const char* bad,
           const char*& why) {
  const std::string_view f = fields.next();
  if (f.empty()) return why = missing, false;
  if (!toInt(f, v) || v < lo || v > hi) return why = bad, false;
  return true;
}

}  // namespace

bool parseFeatureLine(std::string_view line, FeatureLine& out, const char*& why) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
    line.remove_suffix(1);
  Fields fields(line);
  const std::string_view r = fields.next();
  double result = 0;
  if (!toReal(r, result) || result < 0.0 || result > 1.0)
    return why = "result is not a number in 0..1", false;
  out.result = static_cast<float>(result);
  if (!intIn(fields, 0, 24, out.phase, "too few fields", "phase is not an integer in 0..24", why))
    return false;
  if (!intIn(fields, 0, 64, out.scale, "too few fields", "scale is not an integer in 0..64", why))
    return false;
  std::string_view f = fields.next();
  if (f.empty()) return why = "too few fields", false;
  if (!toInt(f, out.mgBase)) return why = "mgBase is not a 32-bit integer", false;
  f = fields.next();
  if (f.empty()) return why = "too few fields", false;
  if (!toInt(f, out.egBase)) return why = "egBase is not a 32-bit integer", false;
  int k = 0;
  if (!intIn(fields, 0, Tune::NPARAMS, k, "too few fields",
             "coefficient count is not an integer in 0..1082", why))
    return false;
  out.entries.clear();
  int previous = -1;
  for (int j = 0; j < k; ++j) {
    int index = 0, mg = 0, eg = 0;
    if (!intIn(fields, 0, Tune::NPARAMS - 1, index, "fewer triples than the count says",
               "parameter index is not an integer in 0..1081", why))
      return false;
    if (index <= previous) return why = "parameter indices are not increasing", false;
    previous = index;
    if (!intIn(fields, -128, 127, mg, "fewer triples than the count says",
               "coefficient is not an integer in -128..127", why) ||
        !intIn(fields, -128, 127, eg, "fewer triples than the count says",
               "coefficient is not an integer in -128..127", why))
      return false;
    if (mg != 0 || eg != 0)
      out.entries.push_back({static_cast<std::uint16_t>(index), static_cast<std::int8_t>(mg),
                             static_cast<std::int8_t>(eg)});
  }
  if (!fields.next().empty()) return why = "more fields than the count says", false;
  return true;
}

void DataSet::reserve(std::size_t positions, std::size_t entries) {
  result_.reserve(positions);
  phase_.reserve(positions);
  scale_.reserve(positions);
  mgBase_.reserve(positions);
  egBase_.reserve(positions);
  start_.reserve(positions + 1);
  entries_.reserve(entries);
}

void DataSet::add(const FeatureLine& line) {
  result_.push_back(line.result);
  phase_.push_back(static_cast<std::uint8_t>(line.phase));
  scale_.push_back(static_cast<std::uint8_t>(line.scale));
  mgBase_.push_back(line.mgBase);
  egBase_.push_back(line.egBase);
  entries_.insert(entries_.end(), line.entries.begin(), line.entries.end());
  start_.push_back(entries_.size());
}

std::size_t DataSet::bytesUsed() const {
  return result_.size() * sizeof(float) + phase_.size() + scale_.size() +
         (mgBase_.size() + egBase_.size()) * sizeof(std::int32_t) +
         start_.size() * sizeof(std::uint64_t) + entries_.size() * sizeof(Entry);
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

bool loadOne(const std::string& path, DataSet& data, LoadReport& report, std::string& error) {
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  // Lines are cut out of a large read buffer; a line that straddles two reads is moved to the
  // front.
  std::vector<char> buffer(1 << 20);
  std::size_t filled = 0;
  std::size_t lineNo = 0;
  FeatureLine line;
  line.entries.reserve(Tune::NPARAMS);
  auto handle = [&](std::string_view text) {
    ++lineNo;
    if (text.find_first_not_of(" \t\r") == std::string_view::npos) return;
    ++report.lines;
    const char* why = "";
    if (parseFeatureLine(text, line, why)) {
      data.add(line);
      ++report.accepted;
    } else {
      noteMalformed(report, path, lineNo, why);
    }
  };
  for (;;) {
    if (filled == buffer.size()) buffer.resize(buffer.size() * 2);  // a line longer than the buffer
    const std::size_t got =
        std::fread(buffer.data() + filled, 1, buffer.size() - filled, file.get());
    if (got == 0) {
      if (std::ferror(file.get())) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
      }
      if (filled > 0) handle({buffer.data(), filled});  // last line without a line feed
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

bool loadFeatureFiles(const std::vector<std::string>& paths, DataSet& data, LoadReport& report,
                      std::string& error) {
  // Reserve from the file sizes so that the arrays never grow by copying: a line takes at least 12
  // bytes ("0 0 0 0 0 0\n") and a triple at least 6. Pages past what is filled are never
  // touched, so an overestimate costs no memory.
  std::size_t bytes = 0;
  for (const std::string& p : paths) {
    struct stat st {};
    if (::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode))
      bytes += static_cast<std::size_t>(st.st_size);
  }
  try {
    data.reserve(data.size() + bytes / 12, data.entryCount() + bytes / 6);
  } catch (const std::bad_alloc&) {
    // Without the reservation the arrays grow as they fill.
  }
  for (const std::string& p : paths)
    if (!loadOne(p, data, report, error)) return false;
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
