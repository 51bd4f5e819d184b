// `ornactl record`: a subscription to frames whose deliveries are written, one record
// each, to an animation file that hvxserver can play back. The first frame fixes the
// file's geometry; a frame of another size or depth ends the recording with an error.
// The file appears under its name only when complete (see AnimationWriter); a
// recording cut short by an interrupt (see CatchStopRequests) or a silent server keeps
// the frames it has. An output name that holds anything but a regular file is refused
// before the subscription, so nothing is recorded only to be lost.
#include <chrono>
#include <cstdio>

#include "orna/orna_api.h"
#include "platform/stop_request.h"
#include "tools/common/animation_writer.h"
#include "tools/common/frame_header_view.h"
#include "tools/ornactl/command_support.h"
#include "tools/ornactl/commands.h"

namespace ornactl {

using tools_common::FrameHeader;
using tools_common::FrameView;
using tools_common::InspectFrame;

namespace {

// Longest single wait for a delivery, so that an interrupt is noticed soon.
constexpr int kWaitSliceMs = 200;
// The largest frame a server slot holds; the subscription asks for that much.

// The animation geometry of a frame's header; false with the reason when an
// animation file can't hold it.
bool GeometryOf(const FrameHeader& h, AnimationGeometry* geometry, std::string* error) {
  if (h.width < 1 || h.width > int32_t(kMaxAnimationSide) || h.height < 1 ||
      h.height > int32_t(kMaxAnimationSide) ||
      h.bytesPerPixel < 1 || h.bytesPerPixel > 31) {
    *error = "a frame of " + std::to_string(h.width) + "x" + std::to_string(h.height) + "x" +
             std::to_string(h.bytesPerPixel) + " bytes can't be held by an animation file";
    return false;
  }
  geometry->width = static_cast<uint16_t>(h.width);
  geometry->height = static_cast<uint16_t>(h.height);
  geometry->bitsPerPixel = static_cast<uint8_t>(h.bytesPerPixel * 8);
  geometry->effectiveBitsPerPixel =
      static_cast<uint8_t>(h.effectiveBitsPerPixel >= 1 && h.effectiveBitsPerPixel <= 255
                               ? h.effectiveBitsPerPixel
                               : h.bytesPerPixel * 8);
  return true;
}

bool SameGeometry(const AnimationGeometry& a, const AnimationGeometry& b) {
  return a.width == b.width && a.height == b.height && a.bitsPerPixel == b.bitsPerPixel &&
         a.effectiveBitsPerPixel == b.effectiveBitsPerPixel;
}

int Failed(const std::string& message) {
  std::fprintf(stderr, "ornactl: %s\n", message.c_str());
  return kExitFailed;
}

// What a recording holds so far.
struct Recording {
  AnimationWriter writer;
  AnimationGeometry geometry;  // of the first frame
  int recorded = 0;
  uint64_t missed = 0;  // frames the server took between two recorded ones
  uint32_t lastFrameNumber = 0;
  bool silent = false;  // ended because the server sent nothing for the time-out
};

// Appends one delivered frame to the recording; the first opens the file. False with
// the reason when the frame can't be recorded.
bool AddFrame(const OrnaReply& reply, const std::string& file, Recording* r,
              std::string* error) {
  const FrameView view = InspectFrame(reply.bytes, reply.bytes ? reply.size : 0, reply.count);
  if (!view.problem.empty()) {
    *error = "delivery " + std::to_string(reply.sequence) + ": " + view.problem;
    return false;
  }
  AnimationGeometry frameGeometry;
  if (!GeometryOf(view.header, &frameGeometry, error)) return false;
  if (r->recorded == 0) {
    r->geometry = frameGeometry;
    if (!r->writer.Open(file, r->geometry, error)) return false;
  } else if (!SameGeometry(r->geometry, frameGeometry)) {
    *error = "frame " + std::to_string(view.header.frameNumber) + " is " +
             std::to_string(frameGeometry.width) + "x" + std::to_string(frameGeometry.height) +
             " at " + std::to_string(frameGeometry.bitsPerPixel) +
             " bits; the recording's frames are " + std::to_string(r->geometry.width) + "x" +
             std::to_string(r->geometry.height) + " at " +
             std::to_string(r->geometry.bitsPerPixel);
    return false;
  }
  if (r->recorded > 0 && view.header.frameNumber > r->lastFrameNumber + 1) {
    r->missed += view.header.frameNumber - r->lastFrameNumber - 1;
  }
  r->lastFrameNumber = view.header.frameNumber;
  if (!r->writer.Append(view.pixels, error)) return false;
  ++r->recorded;
  return true;
}

// Records deliveries until enough came, the server was silent for the time-out, a
// frame can't be recorded (the reason in *error) or a stop is requested.
void RecordDeliveries(OrnaSubscription* subscription, const RecordOptions& options,
                      Recording* r, std::string* error) {
  const int timeoutMs = options.call.timeoutMs;
  using Clock = std::chrono::steady_clock;
  Clock::time_point lastDelivery = Clock::now();
  while (!SysStopRequested() && r->recorded < options.frames) {
    if (Clock::now() - lastDelivery > std::chrono::milliseconds(timeoutMs)) {
      r->silent = true;
      return;
    }
    OrnaReply reply;
    if (OrnaNextDelivery(subscription, &reply, kWaitSliceMs) != 0) continue;
    lastDelivery = Clock::now();
    if (reply.result != 0) continue;  // no frame yet, or none for this read
    if (!AddFrame(reply, options.file, r, error)) return;
  }
}

// Gives the recording its name and says what it holds; the exit status.
int Finish(const RecordOptions& options, Recording* r, std::string* error) {
  const std::string silence =
      "the server sent nothing for " + std::to_string(options.call.timeoutMs) + " ms";
  if (!error->empty()) return Failed(*error + "; nothing written to " + options.file);
  if (r->recorded == 0) {
    return Failed(r->silent ? "no frame arrived within " +
                                  std::to_string(options.call.timeoutMs) + " ms"
                            : "interrupted before the first frame");
  }
  if (!r->writer.Commit(error)) return Failed(*error);
  std::printf("%s: %d frames of %ux%u, %u bits per pixel; %llu frames of the server missed\n",
              options.file.c_str(), r->recorded, r->geometry.width, r->geometry.height,
              r->geometry.bitsPerPixel, static_cast<unsigned long long>(r->missed));
  if (r->recorded < options.frames) {
    return Failed("stopped after " + std::to_string(r->recorded) + " of " +
                  std::to_string(options.frames) + " frames" +
                  (r->silent ? ": " + silence : ""));
  }
  return kExitOk;
}

}  // namespace

int RunRecord(const RecordOptions& options) {
  CatchStopRequests();
  const CallOptions& call = options.call;
  short format = 0;
  if (int status = CheckCallOptions(call, ORNA_FMT_IMAGE, &format); status != kExitOk) {
    return status;
  }
  if (options.frames < 1 || options.frames > 1000000) {
    return UsageError("--frames must be 1 to 1000000");
  }
  if (options.file.empty()) return UsageError("the file name is empty");
  std::string error;
  if (!CheckAnimationTarget(options.file, &error)) return Failed(error);

  OrnaSubscription* subscription = nullptr;
  const int refused = OrnaSubscribe(call.address.c_str(), call.property.c_str(),
                                    ORNA_FMT_IMAGE, tools_common::kWholeFrameCount, 0, call.timeoutMs,
                                    &subscription);
  if (refused != 0) {
    return Failed("subscribing to " + call.address + " " + call.property + " failed: " +
                  std::to_string(refused) + " " + OrnaErrorText(refused));
  }
  SysTakeStopRequests();
  Recording recording;
  RecordDeliveries(subscription, options, &recording, &error);
  OrnaUnsubscribe(subscription);
  return Finish(options, &recording, &error);
}

}  // namespace ornactl
