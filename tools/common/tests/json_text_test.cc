#include "tools/common/json_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tools_common {
namespace {

struct TextCase {
  std::string in;
  const char* out;
};

TEST(JsonTextTest, Escaping) {
  const TextCase cases[] = {
      {"plain", "\"plain\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"back\\slash", "\"back\\\\slash\""},
      {"a\nb\tc\rd", "\"a\\nb\\tc\\rd\""},
      {"\b\f", "\"\\b\\f\""},
      {std::string("nul\0x", 5), "\"nul\\u0000x\""},
      {"\x01\x1f", "\"\\u0001\\u001f\""},
      {"/", "\"/\""},
      // Valid UTF-8 of two, three and four bytes passes unchanged.
      {"\xc3\xa9", "\"\xc3\xa9\""},
      {"\xe2\x82\xac", "\"\xe2\x82\xac\""},
      {"\xf0\x9f\x98\x80", "\"\xf0\x9f\x98\x80\""},
      // Bytes outside valid UTF-8 become the character of the same number, one per byte.
      {"\xff", "\"\xc3\xbf\""},
      {"a\x80z", "\"a\xc2\x80z\""},
      {"\xc3", "\"\xc3\x83\""},                                       // cut short at the end
      {"\xc3(", "\"\xc3\x83(\""},                                     // bad continuation
      {"\xc0\xaf", "\"\xc3\x80\xc2\xaf\""},                           // overlong '/'
      {"\xe0\x80\xaf", "\"\xc3\xa0\xc2\x80\xc2\xaf\""},               // overlong, three bytes
      {"\xed\xa0\x80", "\"\xc3\xad\xc2\xa0\xc2\x80\""},               // surrogate
      {"\xf4\x90\x80\x80", "\"\xc3\xb4\xc2\x90\xc2\x80\xc2\x80\""},   // beyond U+10FFFF
      {"\xe2\x82", "\"\xc3\xa2\xc2\x82\""},                           // three-byte form cut short
  };
  for (const TextCase& c : cases) EXPECT_EQ(Quoted(c.in), c.out) << c.out;
}

// The text ends inside a sequence whose remaining bytes follow in memory: they are not
// the text's and must not complete it.
TEST(JsonTextTest, SequenceCutByTheEndOfTheView) {
  const char buffer[] = "x\xc3\xa9";
  EXPECT_EQ(Quoted(std::string_view(buffer, 2)), "\"x\xc3\x83\"");
  const char euro[] = "\xe2\x82\xac";
  EXPECT_EQ(Quoted(std::string_view(euro, 2)), "\"\xc3\xa2\xc2\x82\"");
}

TEST(JsonTextTest, BareUnlessEscapingNeeded) {
  EXPECT_EQ(BareOrQuoted("device busy"), "device busy");
  EXPECT_EQ(BareOrQuoted("caf\xc3\xa9"), "caf\xc3\xa9");
  EXPECT_EQ(BareOrQuoted(""), "");
  EXPECT_EQ(BareOrQuoted("two\nlines"), "\"two\\nlines\"");
  EXPECT_EQ(BareOrQuoted("say \"x\""), "\"say \\\"x\\\"\"");
  EXPECT_EQ(BareOrQuoted("\xff"), "\"\xc3\xbf\"");
}

TEST(JsonTextTest, NumbersRoundTripAndNonFiniteIsNull) {
  EXPECT_EQ(JsonLine(JsonNumber(0.1)), "0.1");
  EXPECT_EQ(JsonLine(JsonNumber(-2.5)), "-2.5");
  EXPECT_EQ(JsonLine(JsonNumber(-1.0)), "-1");
  EXPECT_EQ(JsonLine(JsonNumber(25.0f)), "25");
  EXPECT_EQ(JsonLine(JsonNumber(1e300)), "1e+300");
  EXPECT_EQ(std::stod(JsonLine(JsonNumber(1700000000.123456))), 1700000000.123456);
  EXPECT_EQ(JsonLine(JsonNumber(0.1f)), "0.1");
  EXPECT_EQ(JsonLine(JsonNumber(24.2f)), "24.2");
  EXPECT_EQ(JsonLine(JsonNumber(std::nanf(""))), "null");
  EXPECT_EQ(JsonLine(JsonNumber(std::nan(""))), "null");
  EXPECT_EQ(JsonLine(JsonNumber(std::numeric_limits<double>::infinity())), "null");
  EXPECT_EQ(JsonLine(JsonNumber(-std::numeric_limits<float>::infinity())), "null");
}

TEST(JsonTextTest, MembersKeepTheirOrderAndStrayBytesInKeysStayValid) {
  Json o = Json::object();
  o["z"] = -1;
  o["a"] = Json::array({1, nullptr, true});
  o[JsonText("k\"\n\xff").get<std::string>()] = JsonText("v");
  EXPECT_EQ(JsonLine(o), "{\"z\":-1,\"a\":[1,null,true],\"k\\\"\\n\xc3\xbf\":\"v\"}");
}

// A text that didn't go through JsonText must not end the program.
TEST(JsonTextTest, InvalidUtf8NotMappedIsReplacedNotThrown) {
  Json o = Json::object();
  o["raw"] = std::string("\xff");
  EXPECT_EQ(JsonLine(o), "{\"raw\":\"\xef\xbf\xbd\"}");
}

}  // namespace
}  // namespace tools_common
