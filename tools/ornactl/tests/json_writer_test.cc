#include "tools/ornactl/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ornactl {
namespace {

std::string Escaped(std::string_view bytes) {
  std::string out;
  AppendJsonString(bytes, &out);
  return out;
}

struct EscapeCase {
  std::string in;
  const char* out;
};

TEST(JsonWriterTest, Escaping) {
  const EscapeCase cases[] = {
      {"plain", "\"plain\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"back\\slash", "\"back\\\\slash\""},
      {"a\nb\tc\rd", "\"a\\nb\\tc\\rd\""},
      {"\b\f", "\"\\b\\f\""},
      {std::string("nul\0x", 5), "\"nul\\u0000x\""},
      {"\x01\x1f", "\"\\u0001\\u001f\""},
      {"\x7f", "\"\\u007f\""},
      {"/", "\"/\""},
      // Valid UTF-8 of two, three and four bytes passes unchanged.
      {"\xc3\xa9", "\"\xc3\xa9\""},
      {"\xe2\x82\xac", "\"\xe2\x82\xac\""},
      {"\xf0\x9f\x98\x80", "\"\xf0\x9f\x98\x80\""},
      // Bytes outside valid UTF-8 become \u00XX, one per byte.
      {"\xff", "\"\\u00ff\""},
      {"a\x80z", "\"a\\u0080z\""},
      {"\xc3", "\"\\u00c3\""},                            // cut short at the end
      {"\xc3(", "\"\\u00c3(\""},                          // bad continuation
      {"\xc0\xaf", "\"\\u00c0\\u00af\""},                 // overlong '/'
      {"\xe0\x80\xaf", "\"\\u00e0\\u0080\\u00af\""},      // overlong, three bytes
      {"\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""},      // surrogate
      {"\xf4\x90\x80\x80", "\"\\u00f4\\u0090\\u0080\\u0080\""},  // beyond U+10FFFF
      {"\xe2\x82", "\"\\u00e2\\u0082\""},                 // three-byte form cut short
  };
  for (const EscapeCase& c : cases) EXPECT_EQ(Escaped(c.in), c.out) << c.out;
}

// The text ends inside a sequence whose remaining bytes follow in memory: they are not
// the text's and must not complete it.
TEST(JsonWriterTest, SequenceCutByTheEndOfTheView) {
  const char buffer[] = "x\xc3\xa9";
  EXPECT_EQ(Escaped(std::string_view(buffer, 2)), "\"x\\u00c3\"");
  const char euro[] = "\xe2\x82\xac";
  EXPECT_EQ(Escaped(std::string_view(euro, 2)), "\"\\u00e2\\u0082\"");
}

TEST(JsonWriterTest, BareUnlessEscapingNeeded) {
  EXPECT_EQ(BareOrQuoted("device busy"), "device busy");
  EXPECT_EQ(BareOrQuoted("caf\xc3\xa9"), "caf\xc3\xa9");
  EXPECT_EQ(BareOrQuoted(""), "");
  EXPECT_EQ(BareOrQuoted("two\nlines"), "\"two\\nlines\"");
  EXPECT_EQ(BareOrQuoted("say \"x\""), "\"say \\\"x\\\"\"");
  EXPECT_EQ(BareOrQuoted("\xff"), "\"\\u00ff\"");
}

TEST(JsonWriterTest, NumbersRoundTripAndNonFiniteIsNull) {
  EXPECT_EQ(JsonNumber(0.1), "0.1");
  EXPECT_EQ(JsonNumber(-2.5), "-2.5");
  EXPECT_EQ(JsonNumber(1e300), "1e+300");
  EXPECT_EQ(std::stod(JsonNumber(1700000000.123456)), 1700000000.123456);
  EXPECT_EQ(JsonNumber(0.1f), "0.1");
  EXPECT_EQ(JsonNumber(std::nanf("")), "null");
  EXPECT_EQ(JsonNumber(std::nan("")), "null");
  EXPECT_EQ(JsonNumber(std::numeric_limits<double>::infinity()), "null");
  EXPECT_EQ(JsonNumber(-std::numeric_limits<double>::infinity()), "null");
}

TEST(JsonWriterTest, CommasBetweenMembersAndElementsOnly) {
  JsonWriter w;
  w.BeginObject();
  w.Key("a"); w.Int(-1);
  w.Key("b"); w.BeginArray(); w.UInt(1); w.Null(); w.Bool(true); w.EndArray();
  w.Key("c"); w.BeginObject(); w.EndObject();
  w.Key("d"); w.BeginArray(); w.EndArray();
  w.Key("e"); w.BeginObject(); w.Key("x"); w.String("y"); w.EndObject();
  w.Key("f"); w.Double(0.5);
  w.EndObject();
  EXPECT_EQ(w.text(), R"({"a":-1,"b":[1,null,true],"c":{},"d":[],"e":{"x":"y"},"f":0.5})");
}

TEST(JsonWriterTest, KeysAreEscapedToo) {
  JsonWriter w;
  w.BeginObject();
  w.Key("k\"\n");
  w.Int(1);
  w.EndObject();
  EXPECT_EQ(w.text(), "{\"k\\\"\\n\":1}");
}

}  // namespace
}  // namespace ornactl
