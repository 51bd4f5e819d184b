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
// A death test's child is a fork on Linux, but on Windows a new process of the same
// binary: it finds its parent's directory in HVX_TEST_EXECUTABLE_DIR and uses that, so
// that parent and child see the same files.
//
// Threading: the test's main thread.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include "tests/fakes/fake_executable_dir.h"
#include "tests/support/test_environment.h"

class ExecutableDirEnvironment : public ::testing::Environment {
 public:
  // *dir is the directory while the cases run, null before and after.
  explicit ExecutableDirEnvironment(FakeExecutableDir** dir) : dir_(dir) {}

  void SetUp() override {
    const char* parents = getenv(kVariable);
    if (parents != nullptr && *parents != '\0') {
      *dir_ = new FakeExecutableDir(parents);
    } else {
      *dir_ = new FakeExecutableDir;
      SetTestVariable(kVariable, (*dir_)->Path().c_str());
    }
  }
  void TearDown() override {
    UnsetTestVariable(kVariable);
    delete *dir_;
    *dir_ = nullptr;
  }

 private:
  static constexpr const char* kVariable = "HVX_TEST_EXECUTABLE_DIR";
  FakeExecutableDir** dir_;
};
