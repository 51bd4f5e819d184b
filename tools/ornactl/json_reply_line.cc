#include <algorithm>

#include "orna/orna_api.h"
#include "tools/common/frame_header_view.h"
#include "tools/common/frame_header_json.h"
#include "tools/common/json_text.h"
#include "tools/ornactl/crc32.h"
#include "tools/ornactl/reply_line.h"

namespace ornactl {

using tools_common::AddFrameHeaderFields;
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

using tools_common::Json;
using tools_common::JsonNumber;
using tools_common::JsonText;

constexpr size_t kHexShown = 64;  // raw bytes given as hex, at most

Json NumberAtAsJson(const ReplyData& r, size_t i) {
  const double number = NumberAt(r, i);
  if (r.format == ORNA_FMT_INT32) return Json(static_cast<int32_t>(number));
  if (r.format == ORNA_FMT_FLOAT) return JsonNumber(static_cast<float>(number));
  return JsonNumber(number);
}

Json RawBytes(const uint8_t* bytes, size_t size) {
  Json o = Json::object();
  o["bytes"] = size;
  o["hex"] = JsonText(size > 0 ? HexOf(bytes, std::min(size, kHexShown)) : "");
  return o;
}

Json ValueOf(const ReplyData& r) {
  if (r.result != 0 || r.format == ORNA_FMT_NULL) return Json(nullptr);
  const size_t n = ElementsPresent(r);
  if (IsNumberFormat(r.format)) {
    if (r.count == 1 && n == 1) return NumberAtAsJson(r, 0);
    Json numbers = Json::array();
    for (size_t i = 0; i < n; ++i) numbers.push_back(NumberAtAsJson(r, i));
    return numbers;
  }
  switch (r.format) {
    case ORNA_FMT_TEXT:
      return JsonText(n > 0 ? TextAt(r.bytes, n) : "");
    case ORNA_FMT_NAME48: {
      if (r.count == 1 && n == 1) return JsonText(Text48At(r, 0));
      Json names = Json::array();
      for (size_t i = 0; i < n; ++i) names.push_back(JsonText(Text48At(r, i)));
      return names;
    }
    case ORNA_FMT_BYTE: {
      if (!IsHeaderValue(r)) return RawBytes(r.bytes, n);
      FrameHeader header;
      DecodeFrameHeader(r.bytes, r.size, &header);
      Json o = Json::object();
      AddFrameHeaderFields(header, &o);
      return o;
    }
    case ORNA_FMT_IMAGE: {
      const FrameView view = InspectFrame(r.bytes, r.size, r.count);
      Json o = Json::object();
      if (view.hasHeader) AddFrameHeaderFields(view.header, &o);
      o["pixels"] = CountOrZero(r.count);
      o["crc32"] = view.pixelsComplete ? Json(Crc32(view.pixels, view.pixelBytes)) : Json(nullptr);
      return o;
    }
    default:
      return RawBytes(r.bytes, r.bytes == nullptr ? 0 : r.size);
  }
}

}  // namespace

std::string JsonReplyLine(const ReplyData& r) {
  Json line = Json::object();
  line["result"] = r.result;
  line["text"] = r.text.empty() && r.result == 0 ? Json(nullptr) : JsonText(r.text);
  line["format"] = r.format;
  line["count"] = r.count;
  line["timestamp"] = JsonNumber(r.stamp);
  if (r.isDelivery) {
    line["sequence"] = r.sequence;
    line["path"] = r.sharedMemory ? "shared memory" : "tcp";
  }
  line["value"] = ValueOf(r);
  const std::string problem = ReplyDataProblem(r);
  if (!problem.empty()) line["problem"] = JsonText(problem);
  if (!r.savedPath.empty()) line["png"] = JsonText(r.savedPath);
  return tools_common::JsonLine(line);
}

}  // namespace ornactl
