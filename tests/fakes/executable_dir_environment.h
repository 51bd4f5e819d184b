// One FakeExecutableDir for every case of a test binary, for binaries whose cases share
// the log file: its path is fixed by the first line a process logs, so the directory is
// made before the first case and removed after the last, by a gtest environment.
// Registered at namespace scope of one test file:
//
//   FakeExecutableDir* gDir = nullptr;
//   const ::testing::Environment* const gEnvironment =
//       ::testing::AddGlobalTestEnvironment(new ExecutableDirEnvironment(&gDir));
//
// A binary that needs more before its first case derives from it and calls its SetUp
// first. Header only: the library hvx_test_support doesn't link GoogleTest.
//
// Threading: the test's main thread.
#pragma once

#include <gtest/gtest.h>

#include "tests/fakes/fake_executable_dir.h"

class ExecutableDirEnvironment : public ::testing::Environment {
 public:
  // *dir is the directory while the cases run, null before and after.
  explicit ExecutableDirEnvironment(FakeExecutableDir** dir) : dir_(dir) {}

  void SetUp() override { *dir_ = new FakeExecutableDir; }
  void TearDown() override {
    delete *dir_;
    *dir_ = nullptr;
  }

 private:
  FakeExecutableDir** dir_;
};
