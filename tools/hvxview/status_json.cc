#include "tools/hvxview/status_json.h"

#include "tools/common/frame_header_json.h"
#include "tools/common/json_text.h"
#include "tools/hvxview/grey_jpeg.h"

namespace {

using tools_common::Json;
using tools_common::JsonNumber;
using tools_common::JsonText;

Json FrameObject(const ViewFrame& frame) {
  const tools_common::FrameHeader& h = frame.header;
  Json o = Json::object();
  o["sequence"] = frame.sequence;
  tools_common::AddFrameHeaderFields(h, &o);
  o["eightBitShift"] = EightBitShift(h);
  o["receivedAt"] = JsonNumber(frame.receivedAt);
  o["latencyMs"] = JsonNumber(frame.latencyMs);
  return o;
}

// The fault control's values, or null when the server has none.
Json FaultsObject(const std::optional<FaultStatus>& faults) {
  if (!faults.has_value()) return Json(nullptr);
  Json o = Json::object();
  o["faults"] = JsonText(faults->faults);
  o["disconnectMs"] = faults->disconnectMs;
  o["stallMs"] = faults->stallMs;
  o["dropEvery"] = faults->dropEvery;
  o["jitterMs"] = faults->jitterMs;
  o["corruptEvery"] = faults->corruptEvery;
  o["frameRate"] = JsonNumber(faults->frameRate);
  o["faultSeed"] = faults->faultSeed;
  return o;
}

}  // namespace

std::string FrameJson(const ViewFrame& frame) { return tools_common::JsonLine(FrameObject(frame)); }

std::string StatusJson(const ViewerState& state) {
  Json o = Json::object();
  o["server"] = JsonText(state.server);
  o["controlAllowed"] = state.controlAllowed;
  o["subscribed"] = state.subscribed;

  const ServerStatusSnapshot& s = state.status;
  o["reachable"] = s.reachable;
  o["serverStatus"] = JsonText(s.serverStatus);
  o["sourceName"] = JsonText(s.sourceName);
  o["sourceStatus"] = s.sourceStatus;
  o["sourceFrameRate"] = JsonNumber(s.sourceFrameRate);
  o["statusError"] = JsonText(s.error);
  o["faults"] = FaultsObject(s.faults);

  const FeedStats& f = state.feed;
  o["received"] = f.received;
  o["missed"] = f.missed;
  o["badFrames"] = state.badFrames;
  o["frameRate"] = JsonNumber(f.frameRate);
  o["latencyMs"] = JsonNumber(f.lastLatencyMs);
  Json history = Json::array();
  for (const FeedSecond& second : f.history) {
    Json entry = Json::object();
    entry["second"] = second.second;
    entry["frames"] = second.frames;
    entry["latencyMs"] = JsonNumber(second.frames > 0 ? second.latencySumMs / second.frames : 0.0);
    history.push_back(std::move(entry));
  }
  o["history"] = std::move(history);
  o["frame"] = state.latest != nullptr ? FrameObject(*state.latest) : Json(nullptr);

  o["encodeFailures"] = state.encodeFailures;
  Json streams = Json::array();
  for (const StreamReaderStats& reader : state.streams) {
    Json entry = Json::object();
    entry["id"] = reader.id;
    entry["sent"] = reader.sent;
    entry["skipped"] = reader.skipped;
    streams.push_back(std::move(entry));
  }
  o["streams"] = std::move(streams);
  return tools_common::JsonLine(o);
}
