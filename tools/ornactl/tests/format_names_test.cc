#include "tools/ornactl/format_names.h"

#include <gtest/gtest.h>

#include "orna/orna_api.h"

namespace ornactl {
namespace {

struct FormatCase {
  const char* text;
  bool accepted;
  short format;
};

TEST(FormatNamesTest, CodesNamesAndBadInput) {
  const FormatCase cases[] = {
      {"512", true, ORNA_FMT_DOUBLE},  {"514", true, ORNA_FMT_BYTE},
      {"515", true, ORNA_FMT_INT32},   {"516", true, ORNA_FMT_TEXT},
      {"517", true, ORNA_FMT_FLOAT},   {"531", true, ORNA_FMT_NAME48},
      {"567", true, ORNA_FMT_IMAGE},   {"double", true, ORNA_FMT_DOUBLE},
      {"bytes", true, ORNA_FMT_BYTE},  {"int32", true, ORNA_FMT_INT32},
      {"text", true, ORNA_FMT_TEXT},   {"float", true, ORNA_FMT_FLOAT},
      {"text48", true, ORNA_FMT_NAME48}, {"frame", true, ORNA_FMT_IMAGE},
      {"INT32", true, ORNA_FMT_INT32}, {"Frame", true, ORNA_FMT_IMAGE},
      // Codes the library has but a call can't ask for, and codes it doesn't have.
      {"767", false, 0},   {"513", false, 0},  {"0", false, 0},
      // Near misses of the accepted forms.
      {"", false, 0},      {"int", false, 0},  {"int32 ", false, 0}, {" 515", false, 0},
      {"515x", false, 0},  {"0515", true, ORNA_FMT_INT32}, {"-515", false, 0},
      {"+515", false, 0},  {"99999999999", false, 0}, {"text4", false, 0},
      {"null", false, 0},
  };
  for (const FormatCase& c : cases) {
    short format = -1;
    EXPECT_EQ(ParseFormat(c.text, &format), c.accepted) << '"' << c.text << '"';
    if (c.accepted) {
      EXPECT_EQ(format, c.format) << c.text;
    } else {
      EXPECT_EQ(format, -1) << "refused input changed the format: " << c.text;
    }
  }
}

TEST(FormatNamesTest, EveryNameReadsBackAsItsCode) {
  const short codes[] = {ORNA_FMT_DOUBLE, ORNA_FMT_BYTE,   ORNA_FMT_INT32, ORNA_FMT_TEXT,
                         ORNA_FMT_FLOAT,  ORNA_FMT_NAME48, ORNA_FMT_IMAGE};
  for (short code : codes) {
    short parsed = 0;
    ASSERT_TRUE(ParseFormat(FormatName(code), &parsed)) << code;
    EXPECT_EQ(parsed, code);
  }
}

TEST(FormatNamesTest, UnnamedCodesPrintAsNumbers) {
  EXPECT_EQ(FormatName(ORNA_FMT_NULL), "null");
  EXPECT_EQ(FormatName(600), "600");
}

}  // namespace
}  // namespace ornactl
