#include "tools/ornactl/output_choice.h"

#include <gtest/gtest.h>

#include "orna/orna_api.h"

namespace ornactl {
namespace {

TEST(OutputChoiceTest, ListingNeededUnlessBothGiven) {
  EXPECT_TRUE(NeedsListing(false, false));
  EXPECT_TRUE(NeedsListing(true, false));
  EXPECT_TRUE(NeedsListing(false, true));
  EXPECT_FALSE(NeedsListing(true, true));
}

struct ChoiceCase {
  const char* what;
  bool formatGiven;
  short format;
  bool countGiven;
  int32_t count;
  bool listed;
  ListedOutput listing;
  OutputChoice expected;
};

TEST(OutputChoiceTest, Rules) {
  const ChoiceCase cases[] = {
      {"listed, nothing given", false, 0, false, 0, true, {ORNA_FMT_IMAGE, 307200},
       {ORNA_FMT_IMAGE, 307200}},
      {"unlisted, nothing given", false, 0, false, 0, false, {}, {ORNA_FMT_INT32, 1}},
      {"listed low byte", false, 0, false, 0, true, {3, 2}, {ORNA_FMT_INT32, 2}},
      {"format given, listed size", true, ORNA_FMT_BYTE, false, 0, true,
       {ORNA_FMT_INT32, 10}, {ORNA_FMT_BYTE, 10}},
      {"format given, unlisted", true, ORNA_FMT_DOUBLE, false, 0, false, {},
       {ORNA_FMT_DOUBLE, 1}},
      {"text given, unlisted", true, ORNA_FMT_TEXT, false, 0, false, {}, {ORNA_FMT_TEXT, 256}},
      {"count given, listed format", false, 0, true, 5, true, {ORNA_FMT_FLOAT, 1},
       {ORNA_FMT_FLOAT, 5}},
      {"count given, unlisted", false, 0, true, 5, false, {}, {ORNA_FMT_INT32, 5}},
      {"both given beat the listing", true, ORNA_FMT_TEXT, true, 64, true,
       {ORNA_FMT_INT32, 1}, {ORNA_FMT_TEXT, 64}},
      {"listed size 0", false, 0, false, 0, true, {ORNA_FMT_INT32, 0}, {ORNA_FMT_INT32, 1}},
      {"listed no output", false, 0, false, 0, true, {ORNA_FMT_NULL, 0}, {ORNA_FMT_NULL, 0}},
      {"format given, listed no output", true, ORNA_FMT_INT32, false, 0, true,
       {ORNA_FMT_NULL, 0}, {ORNA_FMT_INT32, 1}},
  };
  for (const ChoiceCase& c : cases) {
    const OutputChoice choice =
        ChooseOutput(c.formatGiven, c.format, c.countGiven, c.count, c.listed ? &c.listing : nullptr);
    EXPECT_EQ(choice.format, c.expected.format) << c.what;
    EXPECT_EQ(choice.count, c.expected.count) << c.what;
  }
}

}  // namespace
}  // namespace ornactl
