// The fixture of the loopback tests: a private directory with a copy of
// orna_test_server and a names directory that this test process also resolves
// through (ORNA_NAMES_DIR), servers started on free loopback ports, and helpers that
// wait with a bound. TearDown stops every server the test started and fails the test
// when a server's stderr carries a sanitizer report.
//
// One thread: the test's.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "orna/orna_client.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/orna/test_server_process.h"

// Time-out of calls in these tests: long enough for a sanitizer build on a busy machine.
constexpr int kCallTimeoutMs = 5000;

double SecondsSince(std::chrono::steady_clock::time_point start);

class LoopbackTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts a server and waits until it serves; null (and a test failure) when it
  // doesn't. An automatically chosen port that another process took in between is
  // replaced by another.
  TestServerProcess* StartServer(TestServerOptions options = {});
  // Only spawns it (options.port must be set); the test watches what happens.
  TestServerProcess* SpawnServer(TestServerOptions options);

  // One counter or field of OrnaDescribeServer; "" when the call failed.
  std::string DescribedField(const TestServerProcess& server, const std::string& key);
  long DescribedNumber(const TestServerProcess& server, const std::string& key);

  // The test module's account of its pixel loans (property Loans); all -1 when the
  // call failed.
  struct Loans {
    int32_t lent = -1, released = -1, misuses = -1;
  };
  Loans LoansOf(const TestServerProcess& server);

  TempDir dir_;
  std::string namesDir_;
  std::string executable_;
  std::vector<std::unique_ptr<TestServerProcess>> servers_;
};
