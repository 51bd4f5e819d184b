#include "tools/hvxview/http_routes.h"

#include <httplib.h>

#include <chrono>
#include <cstdlib>

#include "tools/common/grey_png.h"
#include "tools/hvxview/fault_controls.h"
#include "tools/hvxview/fault_status.h"
#include "tools/hvxview/frame_feed.h"
#include "tools/hvxview/frame_subscriber.h"
#include "tools/hvxview/server_calls.h"
#include "tools/hvxview/server_status.h"
#include "tools/hvxview/status_json.h"
#include "tools/hvxview/stream_hub.h"
#include "tools/hvxview/viewer_page.h"

namespace {

// Longest wait of /frame.raw for a newer frame, and of a stream reader between checks
// that its client is still there.
constexpr int kFrameWaitMs = 1000;
constexpr int kStreamWaitMs = 500;

void NoStore(httplib::Response& res) { res.set_header("Cache-Control", "no-store"); }

void ServeFrameRaw(const ViewerParts& parts, const httplib::Request& req,
                   httplib::Response& res) {
  uint64_t after = 0;
  if (req.has_param("after")) {
    const std::string text = req.get_param_value("after");
    char* end = nullptr;
    after = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0') {
      res.status = 400;
      res.set_content("after must be a frame sequence number\n", "text/plain");
      return;
    }
  }
  std::shared_ptr<const ViewFrame> frame = parts.feed->WaitNewer(after, kFrameWaitMs);
  NoStore(res);
  if (frame == nullptr) {
    res.status = 204;
    return;
  }
  const std::string json = FrameJson(*frame);
  std::string body;
  body.reserve(4 + json.size() + frame->pixelBytes);
  const uint32_t length = static_cast<uint32_t>(json.size());
  for (int i = 0; i < 4; ++i) body += static_cast<char>((length >> (8 * i)) & 0xff);
  body += json;
  body.append(reinterpret_cast<const char*>(frame->pixels), frame->pixelBytes);
  res.set_content(body, "application/octet-stream");
}

void ServeFramePng(const ViewerParts& parts, httplib::Response& res) {
  std::shared_ptr<const ViewFrame> frame = parts.feed->Latest();
  NoStore(res);
  if (frame == nullptr) {
    res.status = 503;
    res.set_content("no frame received yet\n", "text/plain");
    return;
  }
  const tools_common::FrameHeader& h = frame->header;
  std::string png, error;
  if (h.bytesPerPixel != 1 && h.bytesPerPixel != 2) {
    error = "frames of " + std::to_string(h.bytesPerPixel) + " bytes per pixel can't be PNG";
  } else if (EncodeGreyPng(static_cast<uint32_t>(h.width), static_cast<uint32_t>(h.height),
                           h.bytesPerPixel * 8, frame->pixels, &png, &error)) {
    res.set_header("Content-Disposition",
                   "inline; filename=\"frame-" + std::to_string(h.frameNumber) + ".png\"");
    res.set_content(png, "image/png");
    return;
  }
  res.status = 500;
  res.set_content(error + "\n", "text/plain");
}

void ServeStatus(const ViewerParts& parts, httplib::Response& res) {
  ViewerState state;
  state.server = parts.server;
  state.controlAllowed = parts.controlAllowed;
  state.subscribed = parts.subscriber->subscribed();
  state.badFrames = parts.subscriber->badFrames();
  state.encodeFailures = parts.streams->encodeFailures();
  state.status = parts.status->Snapshot();
  const double now =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  state.feed = parts.feed->Stats(now);
  state.latest = parts.feed->Latest();
  state.streams = parts.streams->Readers();
  NoStore(res);
  res.set_content(StatusJson(state), "application/json");
}

// One reader of /stream.mjpg: each call of the provider sends the next picture (or
// nothing when none came within the wait) until the client goes or the viewer ends.
void ServeStream(const ViewerParts& parts, httplib::Response& res) {
  StreamHub* hub = parts.streams;
  const int reader = hub->AddReader();
  auto lastSent = std::make_shared<uint64_t>(0);
  NoStore(res);
  res.set_content_provider(
      std::string("multipart/x-mixed-replace; boundary=") + kStreamBoundary,
      [hub, reader, lastSent](size_t, httplib::DataSink& sink) {
        std::shared_ptr<const StreamPicture> picture =
            hub->NextPicture(reader, *lastSent, kStreamWaitMs);
        if (picture == nullptr) return sink.is_writable();
        const std::string head = std::string("--") + kStreamBoundary +
                                 "\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                                 std::to_string(picture->jpeg.size()) + "\r\n\r\n";
        if (!sink.write(head.data(), head.size()) ||
            !sink.write(picture->jpeg.data(), picture->jpeg.size()) || !sink.write("\r\n", 2)) {
          return false;
        }
        *lastSent = picture->frameSequence;
        return true;
      },
      [hub, reader](bool) { hub->RemoveReader(reader); });
}

// False, having answered 403, when the viewer was started without --allow-control.
bool ControlAllowed(const ViewerParts& parts, httplib::Response& res) {
  if (parts.controlAllowed) return true;
  res.status = 403;
  res.set_content("this viewer was started without --allow-control\n", "text/plain");
  return false;
}

void ServeRestart(const ViewerParts& parts, httplib::Response& res) {
  if (!ControlAllowed(parts, res)) return;
  std::string text;
  const int result = parts.status->RequestRestart(&text);
  res.set_content(std::to_string(result) + " " + text + "\n", "text/plain");
}

// Writes CONTROL's property with the request's value: 400 for a bad value, 502 when the
// server refused the write or did not answer (a server without fault control answers
// that it has no such device), else the server's answer.
void ServeFaultControl(const ViewerParts& parts, const FaultControl& control,
                       const httplib::Request& req, httplib::Response& res) {
  if (!ControlAllowed(parts, res)) return;
  const bool hasValue = control.parameter != nullptr && req.has_param(control.parameter);
  const std::string text = hasValue ? req.get_param_value(control.parameter) : std::string();
  int32_t value = 0;
  std::string why;
  if (!FaultControlValue(control, hasValue, text, &value, &why)) {
    res.status = 400;
    res.set_content(why + "\n", "text/plain");
    return;
  }
  std::string answer;
  const int result = WriteServerInt32(FaultDeviceAddress(parts.server),
                                      FaultPropertyName(control.property), value,
                                      kServerCallTimeoutMs, &answer);
  const std::string write =
      std::string(FaultPropertyName(control.property)) + " " + std::to_string(value);
  if (result != 0) {
    res.status = 502;
    res.set_content(write + " refused by the server: " + std::to_string(result) + " " + answer +
                        "\n",
                    "text/plain");
    return;
  }
  res.set_content(write + " written\n", "text/plain");
}

}  // namespace

void AddViewerRoutes(const ViewerParts& parts, httplib::Server* http) {
  const ListenPlace place = parts.place;
  http->set_pre_routing_handler([place](const httplib::Request& req, httplib::Response& res) {
    std::string why;
    const int status = RefusalOf(req, place, &why);
    if (status == 0) return httplib::Server::HandlerResponse::Unhandled;
    res.status = status;
    res.set_content(why + "\n", "text/plain");
    return httplib::Server::HandlerResponse::Handled;
  });
  for (size_t i = 0; i < kViewerPageFileCount; ++i) {
    const PageFile& file = kViewerPageFiles[i];
    http->Get(file.path, [&file](const httplib::Request&, httplib::Response& res) {
      res.set_content(file.bytes, file.size, file.contentType);
    });
  }
  http->Get("/frame.raw", [parts](const httplib::Request& req, httplib::Response& res) {
    ServeFrameRaw(parts, req, res);
  });
  http->Get("/frame.png", [parts](const httplib::Request&, httplib::Response& res) {
    ServeFramePng(parts, res);
  });
  http->Get("/status.json", [parts](const httplib::Request&, httplib::Response& res) {
    ServeStatus(parts, res);
  });
  http->Get("/stream.mjpg", [parts](const httplib::Request&, httplib::Response& res) {
    ServeStream(parts, res);
  });
  http->Post("/restart", [parts](const httplib::Request&, httplib::Response& res) {
    ServeRestart(parts, res);
  });
  for (size_t i = 0; i < kFaultControlCount; ++i) {
    const FaultControl& control = kFaultControls[i];
    http->Post(control.path, [parts, &control](const httplib::Request& req,
                                               httplib::Response& res) {
      ServeFaultControl(parts, control, req, res);
    });
  }
}
