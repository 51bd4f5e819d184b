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
#include "source/frame_slot.h"
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
constexpr int32_t kFrameCapacity = static_cast<int32_t>(kSlotPixelCapacity);

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
                                    ORNA_FMT_IMAGE, kFrameCapacity, 0, call.timeoutMs,
                                    &subscription);
  if (refused != 0) {
    return Failed("subscribing to " + call.address + " " + call.property + " failed: " +
                  std::to_string(refused) + " " + OrnaErrorText(refused));
  }

  SysTakeStopRequests();
  AnimationWriter writer;
  AnimationGeometry geometry;
  int recorded = 0;
  uint64_t missed = 0;
  uint32_t lastFrameNumber = 0;
  using Clock = std::chrono::steady_clock;
  Clock::time_point lastDelivery = Clock::now();
  bool silent = false;
  while (!SysStopRequested() && recorded < options.frames && error.empty()) {
    if (Clock::now() - lastDelivery > std::chrono::milliseconds(call.timeoutMs)) {
      silent = true;
      break;
    }
    OrnaReply reply;
    if (OrnaNextDelivery(subscription, &reply, kWaitSliceMs) != 0) continue;
    lastDelivery = Clock::now();
    if (reply.result != 0) continue;  // no frame yet, or none for this read
    const FrameView view = InspectFrame(reply.bytes, reply.bytes ? reply.size : 0, reply.count);
    if (!view.problem.empty()) {
      error = "delivery " + std::to_string(reply.sequence) + ": " + view.problem;
      break;
    }
    AnimationGeometry frameGeometry;
    if (!GeometryOf(view.header, &frameGeometry, &error)) break;
    if (recorded == 0) {
      geometry = frameGeometry;
      if (!writer.Open(options.file, geometry, &error)) break;
    } else if (!SameGeometry(geometry, frameGeometry)) {
      error = "frame " + std::to_string(view.header.frameNumber) + " is " +
              std::to_string(frameGeometry.width) + "x" + std::to_string(frameGeometry.height) +
              " at " + std::to_string(frameGeometry.bitsPerPixel) +
              " bits; the recording's frames are " + std::to_string(geometry.width) + "x" +
              std::to_string(geometry.height) + " at " + std::to_string(geometry.bitsPerPixel);
      break;
    }
    if (recorded > 0 && view.header.frameNumber > lastFrameNumber + 1) {
      missed += view.header.frameNumber - lastFrameNumber - 1;
    }
    lastFrameNumber = view.header.frameNumber;
    if (!writer.Append(view.pixels, &error)) break;
    ++recorded;
  }
  OrnaUnsubscribe(subscription);

  if (!error.empty()) return Failed(error + "; nothing written to " + options.file);
  if (recorded == 0) {
    return Failed(silent ? "no frame arrived within " + std::to_string(call.timeoutMs) + " ms"
                         : "interrupted before the first frame");
  }
  if (!writer.Commit(&error)) return Failed(error);
  std::printf("%s: %d frames of %ux%u, %u bits per pixel; %llu frames of the server missed\n",
              options.file.c_str(), recorded, geometry.width, geometry.height,
              geometry.bitsPerPixel, static_cast<unsigned long long>(missed));
  if (recorded < options.frames) {
    return Failed("stopped after " + std::to_string(recorded) + " of " +
                  std::to_string(options.frames) + " frames" +
                  (silent ? ": the server sent nothing for " + std::to_string(call.timeoutMs) + " ms"
                          : ""));
  }
  return kExitOk;
}

}  // namespace ornactl
