// The engine's start-up in a test binary: one global test environment fills the tables once, before
// any test, with the start-up of the highest layer the binary links (initBoardTables,
// initEvalTables, or initEngineTables as the program runs it), plus what that binary's tests share.
// Register it from an inline variable of a header, so it runs once however many files include it.
#pragma once

#include <gtest/gtest.h>

namespace testsupport {

class StartUp : public ::testing::Environment {
 public:
  explicit StartUp(void (*start)()) : start_(start) {}
  void SetUp() override { start_(); }

 private:
  void (*start_)();
};

inline ::testing::Environment* startUp(void (*start)()) {
  return ::testing::AddGlobalTestEnvironment(new StartUp(start));
}

}  // namespace testsupport
