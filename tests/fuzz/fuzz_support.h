// Shared pieces of the fuzz targets: the engine's tables started once, a stream that swallows
// output, and invariants checked by aborting (libFuzzer reports an abort as a crash with its
// input).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "eval/eval.h"
#include "support/text.h"

namespace fuzzsupport {

// Silences std::cout and std::cerr: the readers under test report there, and at tens of thousands
// of inputs a second the text would only slow the run down.
inline void silenceStreams() {
  struct NullBuf : std::streambuf {
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
  };
  static NullBuf null;
  std::cout.rdbuf(&null);
  std::cerr.rdbuf(&null);
}

[[noreturn]] inline void fail(const char* what, std::string_view detail) {
  std::fprintf(stderr, "invariant broken: %s: %.*s\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

inline void check(bool ok, const char* what, std::string_view detail = {}) {
  if (!ok) fail(what, detail);
}

}  // namespace fuzzsupport
