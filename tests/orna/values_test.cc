// getValuesAsLong for every input format and for bad inputs, and the element sizes of
// the formats.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "orna/orna_api.h"
#include "orna/orna_client.h"

namespace {

struct Case {
  const char* name;
  short format;
  int32_t count;
  std::string bytes;
  int n;
  int result;
  std::vector<int32_t> values;  // expected when result is 0
};

template <typename T>
std::string BytesOf(std::initializer_list<T> values) {
  std::string out;
  for (T v : values) out.append(reinterpret_cast<const char*>(&v), sizeof v);
  return out;
}

std::string Name48(std::initializer_list<const char*> texts) {
  std::string out;
  for (const char* t : texts) {
    std::string field(t);
    field.resize(48, '\0');
    out += field;
  }
  return out;
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

TEST(ValuesTest, GetValuesAsLong) {
  const int OK = ORNA_OK, BAD = ORNA_ILLEGAL_FORMAT, DIM = ORNA_DIMENSION_ERROR;
  const std::vector<Case> cases = {
      {"Int32", ORNA_FMT_INT32, 2, BytesOf<int32_t>({7, INT32_MIN}), 2, OK, {7, INT32_MIN}},
      {"Int32First", ORNA_FMT_INT32, 3, BytesOf<int32_t>({5, 6, 7}), 1, OK, {5}},
      {"ByteUnsigned", ORNA_FMT_BYTE, 2, "\xFF\x01", 2, OK, {255, 1}},
      {"DoubleTruncates", ORNA_FMT_DOUBLE, 2, BytesOf<double>({2.9, -2.9}), 2, OK, {2, -2}},
      {"DoubleLimits", ORNA_FMT_DOUBLE, 2, BytesOf<double>({2147483647.0, -2147483648.0}), 2, OK,
       {INT32_MAX, INT32_MIN}},
      {"DoubleTooLarge", ORNA_FMT_DOUBLE, 1, BytesOf<double>({2147483648.0}), 1, BAD, {}},
      {"DoubleTooSmall", ORNA_FMT_DOUBLE, 1, BytesOf<double>({-2147483649.0}), 1, BAD, {}},
      {"DoubleNaN", ORNA_FMT_DOUBLE, 1, BytesOf<double>({kNaN}), 1, BAD, {}},
      {"SecondDoubleInfinite", ORNA_FMT_DOUBLE, 2, BytesOf<double>({1.0, kInf}), 2, BAD, {}},
      {"Float", ORNA_FMT_FLOAT, 2, BytesOf<float>({1.5f, -7.75f}), 2, OK, {1, -7}},
      {"FloatInfinite", ORNA_FMT_FLOAT, 1, BytesOf<float>({(float)-kInf}), 1, BAD, {}},
      {"FloatTooLarge", ORNA_FMT_FLOAT, 1, BytesOf<float>({3e9f}), 1, BAD, {}},
      {"Text", ORNA_FMT_TEXT, 4, std::string("-42\0", 4), 1, OK, {-42}},
      {"TextWithBlanks", ORNA_FMT_TEXT, 5, " 17 \n", 1, OK, {17}},
      {"TextEndsAtItsCount", ORNA_FMT_TEXT, 3, "12345", 1, OK, {123}},
      {"TextWithTrailingJunk", ORNA_FMT_TEXT, 5, "42abc", 1, BAD, {}},
      {"TextEmpty", ORNA_FMT_TEXT, 4, std::string(4, '\0'), 1, BAD, {}},
      {"TextNotANumber", ORNA_FMT_TEXT, 3, "abc", 1, BAD, {}},
      {"TextOutOfRange", ORNA_FMT_TEXT, 11, "99999999999", 1, BAD, {}},
      {"TextTooLong", ORNA_FMT_TEXT, 80, std::string(79, '1') + '\0', 1, BAD, {}},
      {"TextHoldsOneNumber", ORNA_FMT_TEXT, 4, "1 2", 2, DIM, {}},
      {"Name48", ORNA_FMT_NAME48, 2, Name48({"5", "-6"}), 2, OK, {5, -6}},
      {"Name48Junk", ORNA_FMT_NAME48, 1, Name48({"five"}), 1, BAD, {}},
      {"Name48FullField", ORNA_FMT_NAME48, 1, std::string(48, '1'), 1, BAD, {}},
      {"Image", ORNA_FMT_IMAGE, 4, "abcd", 1, BAD, {}},
      {"Null", ORNA_FMT_NULL, 1, "abcd", 1, BAD, {}},
      {"UnknownFormat", 600, 1, "abcd", 1, BAD, {}},
      {"FewerElementsThanAsked", ORNA_FMT_INT32, 1, BytesOf<int32_t>({1, 2}), 2, DIM, {}},
      {"CountZero", ORNA_FMT_INT32, 0, BytesOf<int32_t>({1}), 1, DIM, {}},
      {"CountNegative", ORNA_FMT_INT32, -1, BytesOf<int32_t>({1}), 1, DIM, {}},
      {"AskedForNone", ORNA_FMT_INT32, 1, BytesOf<int32_t>({1}), 0, ORNA_INVALID_ARGUMENT, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Exactly the bytes of the case: a read past them shows under AddressSanitizer.
    std::vector<char> buffer(c.bytes.begin(), c.bytes.end());
    DataObject din{};
    din.format = c.format;
    din.count = c.count;
    din.data = buffer.data();
    std::vector<int32_t> values(c.n > 0 ? c.n : 1, -999);
    ASSERT_EQ(c.result, getValuesAsLong(&din, values.data(), c.n));
    if (c.result == ORNA_OK) {
      EXPECT_EQ(c.values, values);
    }
  }
}

TEST(ValuesTest, GetValuesAsLongNullArguments) {
  int32_t value = 0, out = 0;
  DataObject din{};
  din.format = ORNA_FMT_INT32;
  din.count = 1;
  din.data = &value;
  EXPECT_EQ(ORNA_INVALID_ARGUMENT, getValuesAsLong(nullptr, &out, 1));
  EXPECT_EQ(ORNA_INVALID_ARGUMENT, getValuesAsLong(&din, nullptr, 1));
  din.data = nullptr;
  EXPECT_EQ(ORNA_DIMENSION_ERROR, getValuesAsLong(&din, &out, 1));
}

TEST(ValuesTest, ElementSizes) {
  const std::vector<std::pair<short, int>> sizes = {
      {ORNA_FMT_DOUBLE, 8}, {ORNA_FMT_BYTE, 1},    {ORNA_FMT_INT32, 4}, {ORNA_FMT_TEXT, 1},
      {ORNA_FMT_FLOAT, 4},  {ORNA_FMT_NAME48, 48}, {ORNA_FMT_IMAGE, 1}, {ORNA_FMT_NULL, 0},
      {0, -1},              {513, -1},             {600, -1},           {-512, -1},
  };
  for (const auto& [format, size] : sizes) EXPECT_EQ(size, OrnaElementSize(format)) << format;
}

}  // namespace
