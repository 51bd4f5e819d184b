#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "orna/orna_api.h"
#include "tools/common/frame_header_view.h"
#include "tools/common/json_text.h"
#include "tools/ornactl/crc32.h"
#include "tools/ornactl/reply_line.h"

namespace ornactl {

using tools_common::CountOrZero;
using tools_common::DecodeFrameHeader;
using tools_common::ElementsPresent;
using tools_common::FrameHeader;
using tools_common::FrameView;
using tools_common::HexOf;
using tools_common::InspectFrame;
using tools_common::IsHeaderValue;
using tools_common::IsNumberFormat;
using tools_common::NumberAt;
using tools_common::ReplyData;
using tools_common::ReplyDataProblem;
using tools_common::Text48At;
using tools_common::TextAt;

namespace {

constexpr size_t kHexShown = 64;       // raw bytes shown as hex, at most
constexpr size_t kElementsShown = 64;  // numbers and names shown, at most

std::string HumanNumber(double number, short format) {
  if (format == ORNA_FMT_INT32) return std::to_string(static_cast<int32_t>(number));
  if (std::isnan(number)) return "nan";
  if (std::isinf(number)) return number > 0 ? "inf" : "-inf";
  // A float widened to double is exact, so narrowing it back loses nothing.
  if (format == ORNA_FMT_FLOAT) {
    return tools_common::JsonLine(tools_common::JsonNumber(static_cast<float>(number)));
  }
  return tools_common::JsonLine(tools_common::JsonNumber(number));
}

using tools_common::BareOrQuoted;
using tools_common::Quoted;

std::string HumanHeader(const FrameHeader& h) {
  char line[256];
  std::snprintf(line, sizeof line,
                "frame %" PRIu32 " pass %" PRIu32 " %" PRId32 "x%" PRId32 "x%" PRId32
                " (%" PRId32 " bits) source %" PRId32 " ",
                h.frameNumber, h.passNumber, h.width, h.height, h.bytesPerPixel,
                h.effectiveBitsPerPixel, h.sourceId);
  std::string out = line;
  out += Quoted(h.sourceName);
  std::snprintf(line, sizeof line,
                " time %" PRIu32 ".%06" PRIu32 " frameLength %" PRIu32 " totalLength %" PRIu32
                " magic ",
                h.timeSeconds, h.timeMicroseconds, h.frameLength, h.totalLength);
  out += line;
  out += Quoted(h.magic);
  return out;
}

std::string HumanFrame(const ReplyData& r) {
  const FrameView view = InspectFrame(r.bytes, r.size, r.count);
  std::string out = view.hasHeader ? HumanHeader(view.header) : "frame (no header)";
  char tail[64];
  std::snprintf(tail, sizeof tail, " pixels %zu", CountOrZero(r.count));
  out += tail;
  if (view.pixelsComplete) {
    std::snprintf(tail, sizeof tail, " crc32 %08" PRIx32, Crc32(view.pixels, view.pixelBytes));
    out += tail;
  }
  return out;
}

std::string HumanValue(const ReplyData& r) {
  if (r.format == ORNA_FMT_IMAGE) return HumanFrame(r);
  if (r.format == ORNA_FMT_NULL) return "no data";
  const size_t n = ElementsPresent(r);
  if (IsNumberFormat(r.format)) {
    if (r.count == 1 && n == 1) return HumanNumber(NumberAt(r, 0), r.format);
    std::string out = "[";
    for (size_t i = 0; i < n && i < kElementsShown; ++i) {
      if (i > 0) out += ", ";
      out += HumanNumber(NumberAt(r, i), r.format);
    }
    if (n > kElementsShown) out += ", ... " + std::to_string(n - kElementsShown) + " more";
    return out + "]";
  }
  if (r.format == ORNA_FMT_TEXT) return Quoted(n > 0 ? TextAt(r.bytes, n) : "");
  if (r.format == ORNA_FMT_NAME48) {
    if (r.count == 1 && n == 1) return Quoted(Text48At(r, 0));
    std::string out = "[";
    for (size_t i = 0; i < n && i < kElementsShown; ++i) {
      if (i > 0) out += ", ";
      out += Quoted(Text48At(r, i));
    }
    if (n > kElementsShown) out += ", ... " + std::to_string(n - kElementsShown) + " more";
    return out + "]";
  }
  if (IsHeaderValue(r)) {
    FrameHeader header;
    DecodeFrameHeader(r.bytes, r.size, &header);
    return "header " + HumanHeader(header);
  }
  // Bytes, and formats this tool does not decode: the first bytes as hex.
  const size_t present = r.bytes == nullptr ? 0
                         : r.format == ORNA_FMT_BYTE ? n
                                                     : r.size;
  std::string out = std::to_string(present) + " bytes";
  if (present > 0) out += ": " + HexOf(r.bytes, std::min(present, kHexShown));
  if (present > kHexShown) out += "...";
  return out;
}

}  // namespace

std::string HumanReplyLine(const ReplyData& r) {
  std::string line = "result " + std::to_string(r.result) + ":";
  // Appended piece by piece: GCC 12 at -O3 wrongly warns (-Wrestrict) about
  // " " + std::string.
  line += ' ';
  if (r.result != 0) {
    line += r.text.empty() ? std::string("(no text)") : BareOrQuoted(r.text);
  } else {
    line += HumanValue(r);
    if (!r.text.empty()) line += " -- " + BareOrQuoted(r.text);
  }
  if (r.isDelivery) line += " (delivery " + std::to_string(r.sequence) + ")";
  const std::string problem = ReplyDataProblem(r);
  if (!problem.empty()) line += " [bad data: " + problem + "]";
  if (!r.savedPath.empty()) line += " saved " + r.savedPath;
  return line;
}

}  // namespace ornactl
