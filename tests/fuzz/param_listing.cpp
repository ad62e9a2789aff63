// The parameter-listing reader (the tuner's --start, and the build's QUORVANE_PARAMS). An accepted
// listing holds every parameter within its range and writes back to a listing that reads to the
// same values.
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "tools/params/listing.h"
#include "tune/tune.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::vector<int> values(Tune::NPARAMS, 0);
  ParamListing::Error error;
  if (!ParamListing::read(in, values.data(), error)) {
    fuzzsupport::check(!error.message.empty(), "a refused listing has a reason");
    return 0;
  }
  for (int i = 0; i < Tune::NPARAMS; ++i) {
    const EvalParams::ParamRange range = EvalParams::paramRange(i);
    fuzzsupport::check(values[i] >= range.lo && values[i] <= range.hi, "value range");
  }
  std::ostringstream out;
  Tune::writeListing(out, values.data());
  std::istringstream back(out.str());
  std::vector<int> again(Tune::NPARAMS, 0);
  fuzzsupport::check(ParamListing::read(back, again.data(), error), "a written listing reads back",
                     error.message);
  fuzzsupport::check(again == values, "the same values read back");
  return 0;
}
