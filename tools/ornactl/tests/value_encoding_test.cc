#include "tools/ornactl/value_encoding.h"

#include <gtest/gtest.h>

#include "orna/orna_api.h"

namespace ornactl {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes.push_back(static_cast<char>(v));
  return bytes;
}

struct EncodeCase {
  short format;
  const char* text;
  std::string bytes;  // expected on success
  int32_t count;
};

TEST(ValueEncodingTest, GoodValuesGiveTheLibraryLayout) {
  const EncodeCase cases[] = {
      {ORNA_FMT_INT32, "1", Bytes({1, 0, 0, 0}), 1},
      {ORNA_FMT_INT32, "-2", Bytes({0xFE, 0xFF, 0xFF, 0xFF}), 1},
      {ORNA_FMT_INT32, "+258", Bytes({2, 1, 0, 0}), 1},
      {ORNA_FMT_INT32, "2147483647", Bytes({0xFF, 0xFF, 0xFF, 0x7F}), 1},
      {ORNA_FMT_INT32, "-2147483648", Bytes({0, 0, 0, 0x80}), 1},
      {ORNA_FMT_DOUBLE, "1", Bytes({0, 0, 0, 0, 0, 0, 0xF0, 0x3F}), 1},
      {ORNA_FMT_DOUBLE, "-2.5", Bytes({0, 0, 0, 0, 0, 0, 0x04, 0xC0}), 1},
      {ORNA_FMT_DOUBLE, "1e2", Bytes({0, 0, 0, 0, 0, 0, 0x59, 0x40}), 1},
      {ORNA_FMT_FLOAT, "1", Bytes({0, 0, 0x80, 0x3F}), 1},
      {ORNA_FMT_FLOAT, "-0.5", Bytes({0, 0, 0, 0xBF}), 1},
      {ORNA_FMT_TEXT, "abc", Bytes({'a', 'b', 'c', 0}), 4},
      {ORNA_FMT_TEXT, "", Bytes({0}), 1},
      {ORNA_FMT_BYTE, "00ff7A", Bytes({0, 0xFF, 0x7A}), 3},
  };
  for (const EncodeCase& c : cases) {
    EncodedValue value;
    std::string error;
    ASSERT_TRUE(EncodeValue(c.format, c.text, &value, &error)) << c.text << ": " << error;
    EXPECT_EQ(value.bytes, c.bytes) << c.format << " " << c.text;
    EXPECT_EQ(value.count, c.count) << c.format << " " << c.text;
  }
}

TEST(ValueEncodingTest, Text48IsOneZeroPaddedField) {
  EncodedValue value;
  std::string error;
  ASSERT_TRUE(EncodeValue(ORNA_FMT_NAME48, "CAM1", &value, &error));
  EXPECT_EQ(value.count, 1);
  ASSERT_EQ(value.bytes.size(), 48u);
  EXPECT_EQ(value.bytes.substr(0, 4), "CAM1");
  EXPECT_EQ(value.bytes.substr(4), std::string(44, '\0'));

  const std::string full(48, 'x');
  ASSERT_TRUE(EncodeValue(ORNA_FMT_NAME48, full, &value, &error));
  EXPECT_EQ(value.bytes, full);
}

struct BadCase {
  short format;
  const char* text;
};

TEST(ValueEncodingTest, BadValuesAreRefusedWithAReason) {
  const BadCase cases[] = {
      {ORNA_FMT_INT32, ""},           {ORNA_FMT_INT32, "abc"},
      {ORNA_FMT_INT32, "12abc"},      {ORNA_FMT_INT32, "1.5"},
      {ORNA_FMT_INT32, "2147483648"}, {ORNA_FMT_INT32, "-2147483649"},
      {ORNA_FMT_INT32, " 1"},         {ORNA_FMT_INT32, "+"},
      {ORNA_FMT_INT32, "++1"},        {ORNA_FMT_INT32, "+-1"},
      {ORNA_FMT_DOUBLE, ""},          {ORNA_FMT_DOUBLE, "1.2.3"},
      {ORNA_FMT_DOUBLE, "1e999"},     {ORNA_FMT_DOUBLE, "x"},
      {ORNA_FMT_FLOAT, "1e39"},       {ORNA_FMT_FLOAT, "one"},
      {ORNA_FMT_BYTE, ""},            {ORNA_FMT_BYTE, "abc"},
      {ORNA_FMT_BYTE, "0g"},          {ORNA_FMT_BYTE, "0x12"},
      {ORNA_FMT_IMAGE, "1"},          {ORNA_FMT_NULL, "1"},
  };
  for (const BadCase& c : cases) {
    EncodedValue value;
    std::string error;
    EXPECT_FALSE(EncodeValue(c.format, c.text, &value, &error)) << c.format << " " << c.text;
    EXPECT_FALSE(error.empty()) << c.format << " " << c.text;
    EXPECT_TRUE(value.bytes.empty()) << c.format << " " << c.text;
  }
}

TEST(ValueEncodingTest, Text48LongerThanItsFieldIsRefused) {
  EncodedValue value;
  std::string error;
  EXPECT_FALSE(EncodeValue(ORNA_FMT_NAME48, std::string(49, 'x'), &value, &error));
  EXPECT_NE(error.find("48"), std::string::npos) << error;
}

}  // namespace
}  // namespace ornactl
