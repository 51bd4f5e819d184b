#include "tools/hvxview/status_json.h"

#include "tools/ornactl/json_writer.h"

namespace {

void WriteFrame(const ViewFrame& frame, ornactl::JsonWriter* json) {
  const ornactl::FrameHeader& h = frame.header;
  json->BeginObject();
  json->Key("sequence");
  json->UInt(frame.sequence);
  json->Key("magic");
  json->String(h.magic);
  json->Key("sourceId");
  json->Int(h.sourceId);
  json->Key("sourceName");
  json->String(h.sourceName);
  json->Key("width");
  json->Int(h.width);
  json->Key("height");
  json->Int(h.height);
  json->Key("bytesPerPixel");
  json->Int(h.bytesPerPixel);
  json->Key("effectiveBitsPerPixel");
  json->Int(h.effectiveBitsPerPixel);
  json->Key("frameNumber");
  json->UInt(h.frameNumber);
  json->Key("passNumber");
  json->UInt(h.passNumber);
  json->Key("frameLength");
  json->UInt(h.frameLength);
  json->Key("totalLength");
  json->UInt(h.totalLength);
  json->Key("timeSeconds");
  json->UInt(h.timeSeconds);
  json->Key("timeMicroseconds");
  json->UInt(h.timeMicroseconds);
  json->Key("receivedAt");
  json->Double(frame.receivedAt);
  json->Key("latencyMs");
  json->Double(frame.latencyMs);
  json->EndObject();
}

}  // namespace

std::string FrameJson(const ViewFrame& frame) {
  ornactl::JsonWriter json;
  WriteFrame(frame, &json);
  return json.text();
}

std::string StatusJson(const ViewerState& state) {
  ornactl::JsonWriter json;
  json.BeginObject();
  json.Key("server");
  json.String(state.server);
  json.Key("controlAllowed");
  json.Bool(state.controlAllowed);
  json.Key("subscribed");
  json.Bool(state.subscribed);

  const ServerStatusSnapshot& s = state.status;
  json.Key("reachable");
  json.Bool(s.reachable);
  json.Key("serverStatus");
  json.String(s.serverStatus);
  json.Key("sourceName");
  json.String(s.sourceName);
  json.Key("sourceStatus");
  json.Int(s.sourceStatus);
  json.Key("sourceFrameRate");
  json.Float(s.sourceFrameRate);
  json.Key("statusError");
  json.String(s.error);

  const FeedStats& f = state.feed;
  json.Key("received");
  json.UInt(f.received);
  json.Key("missed");
  json.UInt(f.missed);
  json.Key("badFrames");
  json.UInt(state.badFrames);
  json.Key("frameRate");
  json.Double(f.frameRate);
  json.Key("latencyMs");
  json.Double(f.lastLatencyMs);
  json.Key("history");
  json.BeginArray();
  for (const FeedSecond& second : f.history) {
    json.BeginObject();
    json.Key("second");
    json.Int(second.second);
    json.Key("frames");
    json.UInt(second.frames);
    json.Key("latencyMs");
    json.Double(second.frames > 0 ? second.latencySumMs / second.frames : 0.0);
    json.EndObject();
  }
  json.EndArray();

  json.Key("frame");
  if (state.latest != nullptr) {
    WriteFrame(*state.latest, &json);
  } else {
    json.Null();
  }

  json.Key("encodeFailures");
  json.UInt(state.encodeFailures);
  json.Key("streams");
  json.BeginArray();
  for (const StreamReaderStats& reader : state.streams) {
    json.BeginObject();
    json.Key("id");
    json.Int(reader.id);
    json.Key("sent");
    json.UInt(reader.sent);
    json.Key("skipped");
    json.UInt(reader.skipped);
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  return json.text();
}
