// Including this header starts the evaluation's tables once per test binary, before any test.
#pragma once

#include <gtest/gtest.h>

#include "eval/eval.h"

namespace testsupport {

class EvalTablesEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { initEvalTables(); }
};

// An inline variable is initialised once per program however many test files include this header.
inline ::testing::Environment* const kEvalTablesEnvironment =
    ::testing::AddGlobalTestEnvironment(new EvalTablesEnvironment);

}  // namespace testsupport
