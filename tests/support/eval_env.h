// Including this header starts the evaluation's tables once per test binary, before any test.
#pragma once

#include "eval/eval.h"
#include "support/startup.h"

namespace testsupport {

inline ::testing::Environment* const kEvalStartUp = startUp(initEvalTables);

}  // namespace testsupport
