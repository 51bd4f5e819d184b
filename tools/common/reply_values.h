// Access to the data of one call answer or delivery as the tools show it: the elements
// really present (never more than the bytes hold, never more than the count), numbers,
// texts, and the check of the data against its format and count. Shared by the
// readable and the JSON line. Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tools_common {

// One answer or delivery as a line shows it. `bytes` (size bytes) is only read, and
// only within `size`.
struct ReplyData {
  int result = 0;
  std::string text;         // completion or error text; the caller fills in the library's
                            // error text for results other than 0 that came without one
  short format = 0;
  int32_t count = 0;
  double stamp = 0.0;
  bool isDelivery = false;  // deliveries also show their sequence number and path
  uint32_t sequence = 0;
  bool sharedMemory = false;  // the delivery came through the server's frame ring
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  std::string savedPath;    // the PNG file written for this frame, if any
};

constexpr size_t kText48Width = 48;

// The count, or 0 when it is negative.
size_t CountOrZero(int32_t count);

// Elements of a value that are really present: the count, unless the data is shorter;
// 0 for formats without a known element size. Not for frames (567): their data starts
// with the prefix; use InspectFrame for them.
size_t ElementsPresent(const ReplyData& reply);

// 512, 515 and 517.
bool IsNumberFormat(short format);
// Element I (below ElementsPresent) of a number format, as a double (exact for all three).
double NumberAt(const ReplyData& reply, size_t i);

// A text up to its first zero, within LIMIT bytes at P.
std::string_view TextAt(const uint8_t* p, size_t limit);
// Field I (below ElementsPresent) of a 531 value.
std::string_view Text48At(const ReplyData& reply, size_t i);

// Lower-case hex of SIZE bytes.
std::string HexOf(const uint8_t* p, size_t size);

// A 514 value that is exactly one 188-byte frame header, shown decoded.
bool IsHeaderValue(const ReplyData& reply);

// What is wrong with the data of REPLY (fewer bytes than its count needs, an
// inconsistent frame); empty when nothing is. Results other than 0 carry no data to judge.
std::string ReplyDataProblem(const ReplyData& reply);

}  // namespace tools_common
