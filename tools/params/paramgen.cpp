// quorvane-paramgen LISTING HEADER: checks a parameter listing and writes it as the C++ header
// eval/param_values.h that the evaluation's tables are built from. A faulty listing stops the
// build with "LISTING:LINE: error: ..." on standard error and exit status 1.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tools/params/listing.h"

namespace {

std::string headerText(const char* listing, const int* v) {
  std::ostringstream out;
  out << "// Written by quorvane-paramgen from " << listing << ".\n"
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
  // An unchanged header keeps its time stamp, so nothing that includes it is rebuilt.
  std::ifstream old(argv[2], std::ios::binary);
  std::ostringstream oldText;
  oldText << old.rdbuf();
  if (old && oldText.str() == text) return 0;
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << text;
  out.flush();
  if (!out) {
    std::fprintf(stderr, "%s: error: cannot write\n", argv[2]);
    return 1;
  }
  return 0;
}
