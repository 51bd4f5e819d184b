// The property query records as the library reads them: byte layout of one record,
// the counts per device, and the HardwareControl record when that device is absent.

#include "server/query_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const uint8_t* Bytes(const PropertyQueryRecord* record) {
  return reinterpret_cast<const uint8_t*>(record);
}

TEST(FillQueryRecordTest, LaysOutEveryFieldAndZeroesTheRest) {
  PropertyQueryRecord record;
  memset(&record, 0xab, sizeof record);  // anything left unwritten shows
  FillQueryRecord(PropertyTable[4], &record);  // DoRestart: 515 in, 515 out, access 3
  const uint8_t* b = Bytes(&record);
  EXPECT_STREQ("DoRestart", record.name);
  EXPECT_STREQ("do restart/readback", record.description);
  for (size_t i = strlen("DoRestart"); i < 32; ++i) EXPECT_EQ(0, b[i]) << i;
  EXPECT_EQ(0, b[96]);
  EXPECT_EQ(1, record.outSize);
  EXPECT_EQ(1, record.inSize);
  EXPECT_EQ(3, b[184]);
  EXPECT_EQ(3, b[185]);
  EXPECT_EQ(3, b[186]);
  EXPECT_EQ(1, record.outRows);
  EXPECT_EQ(1, record.inRows);
  for (size_t i = 176; i < 184; ++i) EXPECT_EQ(0, b[i]) << i;
  for (size_t i = 187; i < 212; ++i) EXPECT_EQ(0, b[i]) << i;
  for (size_t i = 216; i < 224; ++i) EXPECT_EQ(0, b[i]) << i;
}

struct FormatByteCase {
  const char* name;
  size_t row;
  uint8_t outFormat;
  uint8_t inFormat;
  uint8_t access;
  int32_t outSize;
};

class FormatBytesTest : public ::testing::TestWithParam<FormatByteCase> {};

TEST_P(FormatBytesTest, LowBytes) {
  PropertyQueryRecord record;
  FillQueryRecord(PropertyTable[GetParam().row], &record);
  EXPECT_EQ(GetParam().outFormat, record.outFormat);
  EXPECT_EQ(GetParam().inFormat, record.inFormat);
  EXPECT_EQ(GetParam().access, record.access);
  EXPECT_EQ(GetParam().outSize, record.outSize);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FormatBytesTest,
    ::testing::Values(FormatByteCase{"Name48", 0, 19, 255, 1, 1},
                      FormatByteCase{"Int32", 3, 3, 255, 1, 1},
                      FormatByteCase{"Float", 9, 5, 255, 1, 1},
                      FormatByteCase{"Frame", 10, 55, 255, 1, 6291456},
                      FormatByteCase{"HeaderBytes", 12, 2, 255, 1, 188}),
    [](const ::testing::TestParamInfo<FormatByteCase>& info) { return info.param.name; });

TEST(QueryDevicePropertiesTest, CountsAndOrderPerDevice) {
  FillAllQueryRecords(false);
  PropertyQueryRecord* records = nullptr;
  ASSERT_EQ(6, QueryDeviceProperties("Server", &records));
  EXPECT_STREQ("AliveSince", records[0].name);
  EXPECT_STREQ("Version", records[5].name);
  ASSERT_EQ(4, QueryDeviceProperties("source", &records));
  EXPECT_STREQ("Name", records[0].name);
  EXPECT_STREQ("FrameRate", records[3].name);
  ASSERT_EQ(4, QueryDeviceProperties("Output", &records));
  EXPECT_STREQ("Header.Sched", records[3].name);
  EXPECT_STREQ("get cur frame header sched.", records[3].description);
  ASSERT_EQ(6, QueryDeviceProperties("", &records));
  EXPECT_STREQ("AliveSince", records[0].name);
}

TEST(QueryDevicePropertiesTest, HardwareControlAnswersOneZeroRecordWhenNotRegistered) {
  FillAllQueryRecords(false);
  PropertyQueryRecord* records = nullptr;
  ASSERT_EQ(1, QueryDeviceProperties("HardwareControl", &records));
  ASSERT_NE(nullptr, records);
  PropertyQueryRecord zero;
  memset(&zero, 0, sizeof zero);
  EXPECT_EQ(0, memcmp(&zero, records, sizeof zero));
}

TEST(QueryDevicePropertiesTest, HardwareControlHoldsDummyAndTheFaultsWithHardwareDevice) {
  FillAllQueryRecords(true);
  PropertyQueryRecord* records = nullptr;
  ASSERT_EQ(10, QueryDeviceProperties("HardwareControl", &records));
  EXPECT_STREQ("dummy", records[0].name);
  EXPECT_STREQ("dummy desc", records[0].description);
  EXPECT_STREQ("FrameRate", records[6].name);
  EXPECT_EQ(ORNA_FMT_FLOAT & 0xff, records[6].inFormat);
  EXPECT_STREQ("Faults", records[8].name);
  EXPECT_EQ(ORNA_FMT_TEXT & 0xff, records[8].outFormat);
  EXPECT_EQ(1, records[8].access);
  // Back to the module without the device: one zero record again.
  FillAllQueryRecords(false);
  ASSERT_EQ(1, QueryDeviceProperties("HardwareControl", &records));
  EXPECT_STREQ("", records[0].name);
}

TEST(QueryDevicePropertiesTest, NullRecordPointerStillCounts) {
  EXPECT_EQ(4, QueryDeviceProperties("Output", nullptr));
}

}  // namespace
