// The feature line's reader and writer.
#include "formats/feature_line.h"

#include <charconv>

#include "eval/paramlist.h"
#include "formats/blanks.h"
#include "text/numbers.h"

namespace Features {

namespace {

using EvalParams::kParamCount;

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

// Reads an integer field that must lie in lo..hi; why names the field on failure.
bool intIn(Fields& fields, int lo, int hi, int& v, const char* missing, const char* bad,
           const char*& why) {
  const std::string_view f = fields.next();
  if (f.empty()) return why = missing, false;
  if (!parseWhole(f, v) || v < lo || v > hi) return why = bad, false;
  return true;
}

template <class T>
void appendNumber(std::string& s, T v) {
  char buf[32];
  s.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

}  // namespace

bool sparseEntries(const int coefMg[], const int coefEg[], std::vector<Entry>& entries,
                   const char*& why) {
  entries.clear();
  for (int i = 0; i < kParamCount; ++i) {
    const int mg = coefMg[i], eg = coefEg[i];
    if (mg == 0 && eg == 0) continue;
    if (mg < -128 || mg > 127 || eg < -128 || eg > 127)
      return why = "coefficient outside -128..127", false;
    entries.push_back({static_cast<std::uint16_t>(i), static_cast<std::int8_t>(mg),
                       static_cast<std::int8_t>(eg)});
  }
  return true;
}

bool parse(std::string_view line, Line& out, const char*& why) {
  Fields fields(Formats::trimTrailingBlanks(line));
  const std::string_view r = fields.next();
  double result = 0;
  if (!parseWholeReal(r, result) || result < 0.0 || result > 1.0)
    return why = "result is not a number in 0..1", false;
  out.result = static_cast<float>(result);
  if (!intIn(fields, 0, 24, out.phase, "too few fields", "phase is not an integer in 0..24", why))
    return false;
  if (!intIn(fields, 0, 64, out.scale, "too few fields", "scale is not an integer in 0..64", why))
    return false;
  std::string_view f = fields.next();
  if (f.empty()) return why = "too few fields", false;
  if (!parseWhole(f, out.mgBase)) return why = "mgBase is not a 32-bit integer", false;
  f = fields.next();
  if (f.empty()) return why = "too few fields", false;
  if (!parseWhole(f, out.egBase)) return why = "egBase is not a 32-bit integer", false;
  int k = 0;
  if (!intIn(fields, 0, kParamCount, k, "too few fields",
             "coefficient count is not an integer in 0..1082", why))
    return false;
  out.entries.clear();
  int previous = -1;
  for (int j = 0; j < k; ++j) {
    int index = 0, mg = 0, eg = 0;
    if (!intIn(fields, 0, kParamCount - 1, index, "fewer triples than the count says",
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

void append(std::string& out, const Line& line) {
  appendNumber(out, line.result);
  for (const int v : {line.phase, line.scale, static_cast<int>(line.mgBase),
                      static_cast<int>(line.egBase), static_cast<int>(line.entries.size())}) {
    out += ' ';
    appendNumber(out, v);
  }
  for (const Entry& e : line.entries) {
    out += ' ';
    appendNumber(out, static_cast<int>(e.index));
    out += ' ';
    appendNumber(out, static_cast<int>(e.mg));
    out += ' ';
    appendNumber(out, static_cast<int>(e.eg));
  }
  out += '\n';
}

}  // namespace Features
