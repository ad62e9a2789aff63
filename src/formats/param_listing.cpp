// The listing's reader, with its checks, and its writer.
#include "formats/param_listing.h"

#include <istream>
#include <ostream>
#include <sstream>
#include <unordered_map>
#include <vector>

#include "text/numbers.h"

namespace ParamListing {

namespace {

using EvalParams::kParamCount;

bool fail(Error& error, int line, std::string message) {
  error = {line, std::move(message)};
  return false;
}

}  // namespace

bool read(std::istream& in, int values[kParamCount], Error& error) {
  static const auto kIndexOf = [] {
    std::unordered_map<std::string, int> m;
    for (int i = 0; i < kParamCount; ++i) m.emplace(EvalParams::paramName(i), i);
    return m;
  }();
  std::vector<int> lineOf(kParamCount, 0);  // where each parameter was given, 0 = not yet
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    // Editors may add a byte-order mark, carriage returns and indentation.
    if (lineNo == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    std::istringstream fields(line);
    std::string indexText, name, valueText, extra;
    fields >> indexText >> name >> valueText;
    int index = -1, value = 0;
    if (!parseWhole(indexText, index) || name.empty() || valueText.empty() ||
        (fields >> extra))
      return fail(error, lineNo, "expected \"index name value\"");
    const auto known = kIndexOf.find(name);
    if (known == kIndexOf.end()) return fail(error, lineNo, "unknown parameter '" + name + "'");
    if (index != known->second)
      return fail(error, lineNo,
                  name + " is parameter " + std::to_string(known->second) + ", not " + indexText);
    const int previous = lineOf[static_cast<std::size_t>(index)];
    if (previous)
      return fail(error, lineNo, name + " repeated (first given on line " + std::to_string(previous) + ")");
    const EvalParams::ParamRange range = EvalParams::paramRange(index);
    const WholeRead read = readWhole(valueText, value);
    if (read == WholeRead::NotANumber) return fail(error, lineNo, "value of " + name + " is not an integer");
    if (read == WholeRead::OutOfRange || value < range.lo || value > range.hi)
      return fail(error, lineNo,
                  name + " = " + valueText + " is outside " + std::to_string(range.lo) + ".." +
                      std::to_string(range.hi));
    lineOf[static_cast<std::size_t>(index)] = lineNo;
    values[index] = value;
  }
  if (in.bad()) return fail(error, 0, "read error");
  for (int i = 0; i < kParamCount; ++i)
    if (!lineOf[static_cast<std::size_t>(i)]) {
      // Point at the neighbour that is present, so the gap can be found in the file.
      const int before = i > 0 ? lineOf[static_cast<std::size_t>(i - 1)] : 0;
      return fail(error, before ? before : 1,
                  "parameter " + std::to_string(i) + " " + EvalParams::paramName(i) + " is missing" +
                      (before ? " after this line" : ""));
    }
  return true;
}

void write(std::ostream& out, const int values[kParamCount]) {
  out << "# Quorvane tune params: index name value  (NPARAMS=" << kParamCount << ")\n";
  for (int i = 0; i < kParamCount; ++i)
    out << i << ' ' << EvalParams::paramName(i) << ' ' << values[i] << '\n';
}

}  // namespace ParamListing
