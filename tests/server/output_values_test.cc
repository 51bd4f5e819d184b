// Filling output objects: the text formats with their cuts and zero padding, the
// integer and float formats, and the refusals with their codes.

#include "server/output_values.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/fakes/orna_fake.h"
#include "tests/server/module_fixture.h"

namespace {

class OutputValuesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OrnaFakeReset();
    OrnaFakeSetDataTimeStamp(1234.5);
  }
};

const char kText47[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTU";   // 47
const char kText48[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUV";  // 48
const char kText60[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ01234567";

TEST_F(OutputValuesTest, Name48ShortTextIsZeroPadded) {
  Output out(ORNA_FMT_NAME48, 1, 64);
  ASSERT_EQ(ORNA_OK, PutTextOutput(&out.object, "Hi"));
  EXPECT_EQ("Hi", out.Text());
  for (size_t i = 2; i < 48; ++i) EXPECT_EQ(0, out.buffer[i]) << i;
  EXPECT_EQ(0xee, out.buffer[48]);  // nothing past the field
  EXPECT_EQ(1234.5, out.object.stamp);
  EXPECT_EQ(1, out.object.count);
}

TEST_F(OutputValuesTest, Name48Text47KeepsItsZero) {
  Output out(ORNA_FMT_NAME48, 1, 64);
  ASSERT_EQ(ORNA_OK, PutTextOutput(&out.object, kText47));
  EXPECT_EQ(std::string(kText47), std::string((char*)out.buffer.data(), 47));
  EXPECT_EQ(0, out.buffer[47]);
}

TEST_F(OutputValuesTest, Name48LongTextFillsFieldWithoutZero) {
  for (const char* text : {kText48, kText60}) {
    Output out(ORNA_FMT_NAME48, 1, 64);
    ASSERT_EQ(ORNA_OK, PutTextOutput(&out.object, text));
    EXPECT_EQ(0, memcmp(out.buffer.data(), text, 48));
    EXPECT_EQ(0xee, out.buffer[48]) << "wrote past the 48-character field";
  }
}

TEST_F(OutputValuesTest, TextFitsWithItsZero) {
  Output out(ORNA_FMT_TEXT, 10, 16);
  ASSERT_EQ(ORNA_OK, PutTextOutput(&out.object, "abc"));
  EXPECT_EQ("abc", out.Text());
  EXPECT_EQ(0xee, out.buffer[4]);
  EXPECT_EQ(10, out.object.count);  // the count is left as it was
}

TEST_F(OutputValuesTest, TextCutToCountWithoutZero) {
  Output out(ORNA_FMT_TEXT, 3, 8);
  ASSERT_EQ(ORNA_OK, PutTextOutput(&out.object, "abcdef"));
  EXPECT_EQ(0, memcmp(out.buffer.data(), "abc", 3));
  EXPECT_EQ(0xee, out.buffer[3]);
}

struct RefusalCase {
  const char* name;
  short format;
  int32_t count;
  int expected;
};

class TextRefusalTest : public OutputValuesTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(TextRefusalTest, Refuses) {
  Output out(GetParam().format, GetParam().count, 64);
  EXPECT_EQ(GetParam().expected, PutTextOutput(&out.object, "x"));
  EXPECT_EQ(0xee, out.buffer[0]);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, TextRefusalTest,
    ::testing::Values(RefusalCase{"TextCountZero", ORNA_FMT_TEXT, 0, ORNA_DIMENSION_ERROR},
                      RefusalCase{"Name48CountZero", ORNA_FMT_NAME48, 0, ORNA_DIMENSION_ERROR},
                      RefusalCase{"Int32", ORNA_FMT_INT32, 1, ORNA_ILLEGAL_FORMAT},
                      RefusalCase{"Bytes", ORNA_FMT_BYTE, 64, ORNA_ILLEGAL_FORMAT}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST_F(OutputValuesTest, NoObjectIsIllegalFormat) {
  EXPECT_EQ(ORNA_ILLEGAL_FORMAT, PutTextOutput(nullptr, "x"));
  EXPECT_EQ(ORNA_ILLEGAL_FORMAT, PutLongOutput(nullptr, 1));
  EXPECT_EQ(ORNA_ILLEGAL_FORMAT, PutFloatOutput(nullptr, 1.0f));
}

TEST_F(OutputValuesTest, LongSetsCountOneAndValue) {
  Output out(ORNA_FMT_INT32, 5, 20);
  ASSERT_EQ(ORNA_OK, PutLongOutput(&out.object, -7));
  EXPECT_EQ(-7, out.Long());
  EXPECT_EQ(1, out.object.count);
  EXPECT_EQ(1234.5, out.object.stamp);
}

TEST_F(OutputValuesTest, LongRefusals) {
  Output zero(ORNA_FMT_INT32, 0, 4);
  EXPECT_EQ(ORNA_DIMENSION_ERROR, PutLongOutput(&zero.object, 1));
  Output text(ORNA_FMT_NAME48, 1, 48);
  EXPECT_EQ(ORNA_ILLEGAL_FORMAT, PutLongOutput(&text.object, 1));
  Output floating(ORNA_FMT_FLOAT, 1, 4);
  EXPECT_EQ(ORNA_ILLEGAL_FORMAT, PutLongOutput(&floating.object, 1));
}

TEST_F(OutputValuesTest, FloatAs32And64Bits) {
  Output narrow(ORNA_FMT_FLOAT, 1, 8);
  ASSERT_EQ(ORNA_OK, PutFloatOutput(&narrow.object, 24.8f));
  float f;
  memcpy(&f, narrow.buffer.data(), 4);
  EXPECT_EQ(24.8f, f);
  EXPECT_EQ(0xee, narrow.buffer[4]);

  Output wide(ORNA_FMT_DOUBLE, 1, 8);
  ASSERT_EQ(ORNA_OK, PutFloatOutput(&wide.object, 24.8f));
  double d;
  memcpy(&d, wide.buffer.data(), 8);
  EXPECT_EQ(static_cast<double>(24.8f), d);
}

TEST_F(OutputValuesTest, FloatRefusals) {
  Output zero(ORNA_FMT_FLOAT, 0, 4);
  EXPECT_EQ(ORNA_DIMENSION_ERROR, PutFloatOutput(&zero.object, 1.0f));
  Output integer(ORNA_FMT_INT32, 1, 4);
  EXPECT_EQ(ORNA_ILLEGAL_FORMAT, PutFloatOutput(&integer.object, 1.0f));
}

TEST_F(OutputValuesTest, GetInputLongReadsOneValue) {
  LongInput in(42);
  int32_t value = 0;
  ASSERT_EQ(0, GetInputLong(&in.object, &value));
  EXPECT_EQ(42, value);
  EXPECT_NE(0, GetInputLong(nullptr, &value));
}

}  // namespace
