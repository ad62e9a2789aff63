// quorvane-paramnames LISTING HEADER: writes the names of the built-in parameter listing, in its
// order, as the C++ header eval/param_names.h. The evaluation finds where each of its blocks starts
// by looking its first name up there (eval/paramlist.h), so no index is written by hand. A listing
// whose lines are not "index name value" with the indices 0, 1, 2, ... and distinct plain names
// stops the build with "LISTING:LINE: error: ..." on standard error and exit status 1.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tools/outfile/whole_file.h"

namespace {

// Letters, digits and '_': what a name may hold, so that it can be written into a string literal.
bool plainName(const std::string& s) {
  if (s.empty()) return false;
  for (const char c : s)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: quorvane-paramnames LISTING HEADER\n", stderr);
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::fprintf(stderr, "%s: error: cannot open the parameter listing\n", argv[1]);
    return 1;
  }
  std::vector<std::string> names;
  std::set<std::string> seen;
  std::string line;
  for (int lineNo = 1; std::getline(in, line); ++lineNo) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string index, name, value, extra;
    fields >> index >> name >> value;
    const std::string expected = std::to_string(names.size());
    const char* fault = index != expected   ? "expected the next index"
                        : !plainName(name)  ? "a name is letters, digits and '_'"
                        : value.empty()     ? "expected \"index name value\""
                        : (fields >> extra) ? "expected \"index name value\""
                        : seen.count(name)  ? "name repeated"
                                            : nullptr;
    if (fault) {
      std::fprintf(stderr, "%s:%d: error: %s (index %s)\n", argv[1], lineNo, fault, expected.c_str());
      return 1;
    }
    seen.insert(name);
    names.push_back(name);
  }
  if (names.empty()) {
    std::fprintf(stderr, "%s: error: no parameters\n", argv[1]);
    return 1;
  }

  std::ostringstream out;
  out << "// Written by quorvane-paramnames from the built-in parameter listing; edit that listing.\n"
      << "#pragma once\n\nnamespace EvalParams {\n"
      << "inline constexpr int kParamCount = " << names.size() << ";\n"
      << "inline constexpr const char* kParamNames[kParamCount] = {";
  for (std::size_t i = 0; i < names.size(); ++i) out << (i % 8 ? " " : "\n    ") << '"' << names[i] << "\",";
  out << "\n};\n}  // namespace EvalParams\n";
  const std::string text = out.str();

  // Written whole, and only when changed (see writeIfChanged).
  std::string why;
  if (!WholeFile::writeIfChanged(argv[2], text, why)) {
    std::fprintf(stderr, "quorvane-paramnames: error: %s\n", why.c_str());
    return 1;
  }
  return 0;
}
