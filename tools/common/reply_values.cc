#include "tools/common/reply_values.h"

#include <algorithm>
#include <cstring>

#include "orna/orna_api.h"
#include "tools/common/frame_header_view.h"

namespace tools_common {
namespace {

// Bytes one element takes in the data (frames: the pixel bytes after the prefix);
// 0 for formats this tool does not decode.
size_t ElementSize(short format) {
  switch (format) {
    case ORNA_FMT_DOUBLE: return 8;
    case ORNA_FMT_INT32:
    case ORNA_FMT_FLOAT: return 4;
    case ORNA_FMT_BYTE:
    case ORNA_FMT_TEXT:
    case ORNA_FMT_IMAGE: return 1;
    case ORNA_FMT_NAME48: return kText48Width;
    default: return 0;
  }
}

}  // namespace

size_t CountOrZero(int32_t count) { return count > 0 ? static_cast<size_t>(count) : 0; }

size_t ElementsPresent(const ReplyData& r) {
  const size_t element = ElementSize(r.format);
  if (element == 0 || r.bytes == nullptr) return 0;
  return std::min(CountOrZero(r.count), r.size / element);
}

double NumberAt(const ReplyData& r, size_t i) {
  const uint8_t* p = r.bytes + i * ElementSize(r.format);
  switch (r.format) {
    case ORNA_FMT_DOUBLE: {
      double v;
      std::memcpy(&v, p, 8);
      return v;
    }
    case ORNA_FMT_FLOAT: {
      float v;
      std::memcpy(&v, p, 4);
      return v;
    }
    default: {
      int32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
  }
}

std::string_view TextAt(const uint8_t* p, size_t limit) {
  const char* text = reinterpret_cast<const char*>(p);
  const void* zero = std::memchr(text, 0, limit);
  return std::string_view(
      text, zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - text) : limit);
}

std::string_view Text48At(const ReplyData& r, size_t i) {
  return TextAt(r.bytes + i * kText48Width, kText48Width);
}

std::string HexOf(const uint8_t* p, size_t size) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < size; ++i) {
    hex.push_back(kHex[p[i] >> 4]);
    hex.push_back(kHex[p[i] & 0xF]);
  }
  return hex;
}

bool IsNumberFormat(short format) {
  return format == ORNA_FMT_DOUBLE || format == ORNA_FMT_INT32 || format == ORNA_FMT_FLOAT;
}

bool IsHeaderValue(const ReplyData& r) {
  return r.format == ORNA_FMT_BYTE && ElementsPresent(r) == kFrameHeaderSize;
}

std::string ReplyDataProblem(const ReplyData& r) {
  if (r.result != 0 || r.format == ORNA_FMT_NULL) return "";
  if (r.format == ORNA_FMT_IMAGE) return InspectFrame(r.bytes, r.size, r.count).problem;
  if (r.count < 0) return "negative count " + std::to_string(r.count);
  const size_t element = ElementSize(r.format);
  if (element == 0) return "";
  const size_t present = ElementsPresent(r);
  if (present < CountOrZero(r.count)) {
    return "only " + std::to_string(present) + " of " + std::to_string(r.count) +
           " elements arrived";
  }
  return "";
}

}  // namespace tools_common
