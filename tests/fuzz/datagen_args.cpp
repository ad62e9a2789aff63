// datagen's argument reader: the input is split into arguments at line feeds. The reader may only
// accept or refuse; nothing is generated.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "datagen/datagen.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::silenceStreams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // argv strings end at a NUL: an embedded one cuts the argument there too.
  std::vector<std::string> args = testsupport::lines({reinterpret_cast<const char*>(data), size});
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  DataGenConfig config;
  if (parseDataGenArgs(static_cast<int>(args.size()), argv.data(), config)) {
    for (const std::string& a : args)
      fuzzsupport::check(a.empty() || a[0] != '-', "an option word is refused", a);
  }
  return 0;
}
