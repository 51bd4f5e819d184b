#include "tools/ornactl/output_choice.h"

#include "orna/orna_api.h"

namespace ornactl {
namespace {

constexpr int32_t kUnlistedTextCount = 256;

int32_t ListedCount(const ListedOutput& listed) {
  if (FullFormatCode(listed.format) == ORNA_FMT_NULL) return 0;
  return listed.size > 0 ? listed.size : 1;
}

}  // namespace

short FullFormatCode(short format) {
  if (format >= 0 && format <= 255) return static_cast<short>(512 + format);
  return format;
}

bool NeedsListing(bool formatGiven, bool countGiven) { return !(formatGiven && countGiven); }

OutputChoice ChooseOutput(bool formatGiven, short format, bool countGiven, int32_t count,
                          const ListedOutput* listed) {
  OutputChoice choice;
  if (formatGiven) {
    choice.format = format;
  } else {
    choice.format = listed != nullptr ? FullFormatCode(listed->format) : short{ORNA_FMT_INT32};
  }
  if (countGiven) {
    choice.count = count;
  } else if (listed != nullptr) {
    choice.count = ListedCount(*listed);
    // A listed "no data" output with another format asked for still needs an element.
    if (choice.count == 0 && choice.format != ORNA_FMT_NULL) choice.count = 1;
  } else {
    choice.count = choice.format == ORNA_FMT_TEXT ? kUnlistedTextCount : 1;
  }
  return choice;
}

}  // namespace ornactl
