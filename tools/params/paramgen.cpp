// quorvane-paramgen LISTING HEADER: checks a parameter listing and writes it as the C++ header
// eval/param_values.h that the evaluation's tables are built from. A faulty listing stops the
// build with "LISTING:LINE: error: ..." on standard error and exit status 1.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "formats/param_listing.h"
#include "tools/outfile/whole_file.h"

namespace {

// The path as it may stand in a // comment: a line feed would end the comment and put the rest of
// the path into the code, a final backslash would join the next line to it. Such bytes, and every
// other one outside printable ASCII, are written as \xHH.
std::string commentSafe(const char* path) {
  std::string out;
  for (const char* p = path; *p; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string headerText(const char* listing, const int* v) {
  std::ostringstream out;
  out << "// Written by quorvane-paramgen from " << commentSafe(listing) << ".\n"
      << "// Edit that listing (or choose another with QUORVANE_PARAMS), not this file.\n"
      << "#pragma once\n\n#include \"eval/paramlist.h\"\n\nnamespace EvalParams {\n"
      << "inline constexpr int kParamValues[kParamCount] = {";
  for (int i = 0; i < EvalParams::kParamCount; ++i) out << (i % 10 ? " " : "\n    ") << v[i] << ',';
  out << "\n};\n}  // namespace EvalParams\n";
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: quorvane-paramgen LISTING HEADER\n", stderr);
    return 2;
  }
  if (WholeFile::sameFile(argv[1], argv[2])) {
    std::fprintf(stderr, "%s: error: the listing and the header are the same file\n", argv[1]);
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::fprintf(stderr, "%s: error: cannot open the parameter listing\n", argv[1]);
    return 1;
  }
  int values[EvalParams::kParamCount];
  ParamListing::Error error;
  if (!ParamListing::read(in, values, error)) {
    std::fprintf(stderr, "%s:%d: error: %s\n", argv[1], error.line, error.message.c_str());
    return 1;
  }
  const std::string text = headerText(argv[1], values);
  // Written whole, and only when changed (see writeIfChanged).
  std::string why;
  if (!WholeFile::writeIfChanged(argv[2], text, why)) {
    std::fprintf(stderr, "quorvane-paramgen: error: %s\n", why.c_str());
    return 1;
  }
  return 0;
}
