// The parameter-listing reader (the tuner's --start, and the build's QUORVANE_PARAMS). An accepted
// listing holds every parameter within its range, reads the same with a byte-order mark or every
// line indented, and writes back to a listing that reads to the same values.
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "formats/param_listing.h"
#include "fuzz_support.h"
#include "tune/tune.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::istringstream in(text);
  std::vector<int> values(Tune::NPARAMS, 0);
  ParamListing::Error error;
  if (!ParamListing::read(in, values.data(), error)) {
    fuzzsupport::check(!error.message.empty(), "a refused listing has a reason");
    return 0;
  }
  // What editors add changes nothing: a byte-order mark in front, or every line indented.
  if (text.rfind("\xEF\xBB\xBF", 0) != 0) {
    std::string indented = " ";
    for (const char c : text) indented += c == '\n' ? std::string("\n ") : std::string(1, c);
    for (const std::string& edited : {"\xEF\xBB\xBF" + text, indented}) {
      std::istringstream again(edited);
      std::vector<int> same(Tune::NPARAMS, 0);
      fuzzsupport::check(ParamListing::read(again, same.data(), error) && same == values,
                         "a byte-order mark or indentation changes nothing", error.message);
    }
  }
  for (int i = 0; i < Tune::NPARAMS; ++i) {
    const EvalParams::ParamRange range = EvalParams::paramRange(i);
    fuzzsupport::check(values[i] >= range.lo && values[i] <= range.hi, "value range");
  }
  std::ostringstream out;
  ParamListing::write(out, values.data());
  std::istringstream back(out.str());
  std::vector<int> again(Tune::NPARAMS, 0);
  fuzzsupport::check(ParamListing::read(back, again.data(), error), "a written listing reads back",
                     error.message);
  fuzzsupport::check(again == values, "the same values read back");
  return 0;
}
