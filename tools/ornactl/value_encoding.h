// Turns the VALUE of `ornactl write` into the input of a call: the raw bytes of one
// element in the library's layout (little-endian numbers) and the element count.
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ornactl {

struct EncodedValue {
  std::string bytes;  // the element bytes, as OrnaRequest::inBytes takes them
  int32_t count = 0;  // elements in `bytes` (text: characters including the final zero)
};

// Encodes TEXT as one element of FORMAT:
//   int32  decimal integer within 32 bits            -> 4 bytes little-endian
//   double decimal or scientific number              -> 8 bytes IEEE little-endian
//   float  number within the range of a float        -> 4 bytes IEEE little-endian
//   text   any text                                  -> its bytes plus a zero, count length+1
//   text48 at most 48 bytes                          -> one field of 48 bytes, zero-padded
//   bytes  an even number (at least 2) of hex digits -> those bytes, count = bytes
// Answers false with a one-line reason in *error when TEXT does not fit the format, or
// when the format can't be written (frame).
bool EncodeValue(short format, std::string_view text, EncodedValue* value, std::string* error);

}  // namespace ornactl
