// erlst: every named code has a text of its own that fits its entry; every other code
// reads "unknown error".
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "orna/orna_api.h"
#include "orna/orna_client.h"

namespace {

TEST(ErrorTextsTest, NamedCodes) {
  // Texts that reach people (the test module prints 63's, ornactl shows them all).
  const std::vector<std::pair<int, const char*>> named = {
      {ORNA_OK, "success"},
      {ORNA_OPERATION_FAILED, "operation failed"},
      {ORNA_ILLEGAL_FORMAT, "illegal format"},
      {ORNA_INVALID_ARGUMENT, "invalid argument"},
      {ORNA_DIMENSION_ERROR, "dimension error"},
      {ORNA_ILLEGAL_PROPERTY, "illegal property"},
      {ORNA_ILLEGAL_DEVICE, "illegal device"},
      {ORNA_TOO_MANY_CONTRACTS, "too many contracts"},
      {ORNA_OUT_OF_MEMORY, "out of memory"},
      {ORNA_WORK_AREA_TOO_SMALL, "work area too small"},
      {ORNA_MALFORMED_REQUEST, "malformed request"},
      {ORNA_NOT_REGISTERED, "not registered"},
      {ORNA_ALREADY_REGISTERED, "already registered"},
      {ORNA_ADDRESS_IN_USE, "server port already in use"},
      {ORNA_SOCKET_ERROR, "socket error"},
      {ORNA_NAMES_ERROR, "names directory not writable"},
      {ORNA_NAME_TAKEN, "server name taken"},
      {ORNA_ILLEGAL_READ_WRITE, "illegal read-write access"},
      {ORNA_REMOTE_EXIT_REFUSED, "remote exit not allowed"},
      {ORNA_NOT_INITIALIZED, "server not initialized"},
      {ORNA_CONNECTION_TIMEOUT, "connection timeout"},
      {ORNA_SEMAPHORE_ERROR, "server lock failed"},
  };
  std::set<std::string> seen;
  for (const auto& [code, text] : named) {
    SCOPED_TRACE(code);
    EXPECT_STREQ(text, erlst[code]);
    EXPECT_STREQ(text, OrnaErrorText(code));
    EXPECT_TRUE(seen.insert(text).second) << "text shared with another code";
  }
}

TEST(ErrorTextsTest, EveryEntryIsTerminatedInsideItsWidth) {
  for (int code = 0; code < ORNA_ERRLST_SIZE; ++code) {
    ASSERT_NE(nullptr, memchr(erlst[code], '\0', ORNA_ERRLST_WIDTH)) << code;
    ASSERT_GT(strlen(erlst[code]), 0u) << code;
  }
}

TEST(ErrorTextsTest, OtherCodesAreUnknown) {
  for (int code : {3, 14, 60, 99, 512, 513, 700, ORNA_ERRLST_SIZE - 1})
    EXPECT_STREQ("unknown error", erlst[code]) << code;
  for (int code : {-1, -98, (int)ORNA_ERRLST_SIZE, 100000})
    EXPECT_STREQ("unknown error", OrnaErrorText(code)) << code;
}

}  // namespace
