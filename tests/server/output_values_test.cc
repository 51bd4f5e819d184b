// The output formats a client may ask for, through the equipment function: texts as
// 516 (cut to the count) and 531 (48-character field), integers only as 515, the frame
// rate as 517 or widened to 512, and the refusals with their codes.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/fakes/orna_fake.h"
#include "tests/server/module_fixture.h"

namespace {

struct FormatCase {
  const char* name;
  const char* device;
  const char* property;
  short format;
  int32_t count;
  int result;
  // The first bytes of the buffer afterwards (with any zero bytes), then 0xee where
  // nothing may have been written.
  std::string bytes;
  int32_t countAfter;
};

class OutputFormatTest : public ModuleTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(OutputFormatTest, Delivers) {
  const FormatCase& c = GetParam();
  OrnaFakeSetDataTimeStamp(1234.5);
  source_.frameRate = 2.5f;
  Output out(c.format, c.count, 64);
  ASSERT_EQ(c.result, Read(c.device, c.property, &out));
  EXPECT_EQ(c.bytes, std::string(reinterpret_cast<const char*>(out.buffer.data()), c.bytes.size()));
  EXPECT_EQ(c.countAfter, out.object.count);
  if (c.result == 0) {
    EXPECT_EQ(1234.5, out.object.stamp);
  }
}

const std::string kUntouched = "\xee";
const std::string kVersion = "HVX Vuzu 0.2beta dev";

std::string Float(float value) { return std::string(reinterpret_cast<const char*>(&value), 4); }
std::string Double(double value) { return std::string(reinterpret_cast<const char*>(&value), 8); }

INSTANTIATE_TEST_SUITE_P(
    Formats, OutputFormatTest,
    ::testing::Values(
        FormatCase{"TextWithZero", "Server", "Version", ORNA_FMT_TEXT, 30, 0,
                   kVersion + std::string(1, '\0') + kUntouched, 30},
        FormatCase{"TextCutToCountWithoutZero", "Server", "Version", ORNA_FMT_TEXT, 3, 0,
                   "HVX" + kUntouched, 3},
        FormatCase{"TextCountZero", "Server", "Version", ORNA_FMT_TEXT, 0, 23, kUntouched, 0},
        FormatCase{"Name48ZeroPadded", "Server", "Version", ORNA_FMT_NAME48, 1, 0,
                   kVersion + std::string(48 - kVersion.size(), '\0') + kUntouched, 1},
        FormatCase{"Name48CountZero", "Server", "Version", ORNA_FMT_NAME48, 0, 23, kUntouched, 0},
        FormatCase{"TextAsInt32", "Server", "Version", ORNA_FMT_INT32, 1, 2, kUntouched, 1},
        FormatCase{"IntAsInt32", "Server", "ID", ORNA_FMT_INT32, 4, 0,
                   std::string("\x11\0\0\0", 4) + kUntouched, 1},
        FormatCase{"IntCountZero", "Server", "ID", ORNA_FMT_INT32, 0, 23, kUntouched, 0},
        FormatCase{"IntAsFloat", "Server", "ID", ORNA_FMT_FLOAT, 1, 2, kUntouched, 1},
        FormatCase{"IntAsText48", "Source", "ID", ORNA_FMT_NAME48, 1, 2, kUntouched, 1},
        FormatCase{"RateAsFloat", "Source", "FrameRate", ORNA_FMT_FLOAT, 1, 0,
                   Float(2.5f) + kUntouched, 1},
        FormatCase{"RateWidenedToDouble", "Source", "FrameRate", ORNA_FMT_DOUBLE, 1, 0,
                   Double(2.5) + kUntouched, 1},
        FormatCase{"RateCountZero", "Source", "FrameRate", ORNA_FMT_FLOAT, 0, 23, kUntouched, 0},
        FormatCase{"RateAsInt32", "Source", "FrameRate", ORNA_FMT_INT32, 1, 2, kUntouched, 1}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return info.param.name; });

using OutputObjectTest = ModuleTest;

TEST_F(OutputObjectTest, NoOutputObjectIsIllegalFormat) {
  for (const char* property : {"Version", "ID", "Status", "AliveSince", "Type"})
    EXPECT_EQ(ORNA_ILLEGAL_FORMAT, Read("Server", property, nullptr)) << property;
  EXPECT_EQ(ORNA_ILLEGAL_FORMAT, Read("Source", "FrameRate", nullptr));
}

TEST_F(OutputObjectTest, Name48Text47KeepsItsZeroAndLongerFillsField) {
  const std::string name47(47, 'a'), name48(48, 'b');
  UseSettings(WithValue(ValidSettings(), "ImageSource", "Name", name47));
  Output out(ORNA_FMT_NAME48, 1, 64);
  ASSERT_EQ(0, Read("Source", "Name", &out));
  EXPECT_EQ(name47, out.Text());
  UseSettings(WithValue(ValidSettings(), "ImageSource", "Name", name48));
  Output full(ORNA_FMT_NAME48, 1, 64);
  ASSERT_EQ(0, Read("Source", "Name", &full));
  EXPECT_EQ(name48, std::string(reinterpret_cast<const char*>(full.buffer.data()), 48));
  EXPECT_EQ(0xee, full.buffer[48]);
}

}  // namespace
