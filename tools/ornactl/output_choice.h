// Which output format and element count a read or a subscription asks for, from what
// the user gave (--format, --count) and what the device lists for the property. When
// nothing fits, the call still goes out (int32, one element), so that the server's own
// answer, such as "illegal property", is what the user sees. Pure; any thread.
#pragma once

#include <cstdint>

namespace ornactl {

// The output a device registered for a property.
struct ListedOutput {
  short format = 0;  // full code (512 + low byte)
  int32_t size = 0;  // elements
};

struct OutputChoice {
  short format = 0;
  int32_t count = 0;
};

// Whether the property listing is needed at all: only when the user gave neither
// format nor count, or one without the other.
bool NeedsListing(bool formatGiven, bool countGiven);

// FORMAT and COUNT are read only when their Given flag is set; LISTED is null when the
// device does not list the property (or the listing failed).
//   both given                 -> as given
//   format only                -> the listed size, else 1 (text: 256)
//   count only                 -> the listed format, else int32
//   neither                    -> the listed format and size, else int32 x 1
// A listed size below 1 counts as 1, except for a listed output of no data (767),
// which is asked for as it is (count 0).
OutputChoice ChooseOutput(bool formatGiven, short format, bool countGiven, int32_t count,
                          const ListedOutput* listed);

// Formats as the library's listing may carry them: a bare low byte (0 to 255) means
// 512 plus that byte; full codes pass unchanged.
short FullFormatCode(short format);

}  // namespace ornactl
