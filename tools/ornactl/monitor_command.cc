// `ornactl monitor`: a subscription whose deliveries are printed (and frames saved as
// PNG) until enough came, the time is up, or the user interrupts.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "orna/orna_api.h"
#include "platform/stop_request.h"
#include "tools/common/frame_header_view.h"
#include "tools/ornactl/command_support.h"
#include "tools/ornactl/commands.h"
#include "tools/ornactl/format_names.h"
#include "tools/ornactl/png_writer.h"

namespace ornactl {

using tools_common::FrameView;
using tools_common::InspectFrame;
using tools_common::ReplyData;
using tools_common::ReplyDataProblem;

namespace {

using Clock = std::chrono::steady_clock;

// Longest single wait for a delivery, so that an interrupt or the end of --seconds is
// noticed soon even when nothing arrives.
constexpr int kWaitSliceMs = 200;

// --seconds beyond this (about 30 years) is taken as this, so the deadline can't overflow.
constexpr double kLongestRun = 1e9;

// Saves a delivered frame; answers false after printing why when it can't.
bool SaveFrame(const OrnaReply& reply, const std::string& directory, std::string* path) {
  const FrameView view = InspectFrame(reply.bytes, reply.bytes ? reply.size : 0, reply.count);
  if (!view.hasHeader) {
    std::fprintf(stderr, "ornactl: delivery %u: frame has no header, not saved\n",
                 reply.sequence);
    return false;
  }
  const std::string target = FramePngPath(directory, view.header.frameNumber);
  std::string error;
  if (!WriteFramePng(view, target, &error)) {
    std::fprintf(stderr, "ornactl: frame %u: %s\n", view.header.frameNumber, error.c_str());
    return false;
  }
  *path = target;
  return true;
}

// Checks the monitor's own options and makes the PNG directory; kExitOk or, after
// printing why, kExitUsage.
int CheckMonitorOptions(const MonitorOptions& options) {
  if (options.intervalMs < 0) return UsageError("--interval must not be negative");
  if (options.updatesGiven && options.updates < 1) {
    return UsageError("--updates must be at least 1");
  }
  if (options.secondsGiven && !(options.seconds > 0)) {
    return UsageError("--seconds must be more than 0");
  }
  if (!options.pngDirectory.empty()) {
    std::error_code error;
    std::filesystem::create_directories(options.pngDirectory, error);
    if (error) {
      return UsageError("can't create " + options.pngDirectory + ": " + error.message());
    }
  }
  return kExitOk;
}

// What the deliveries were.
struct Tally {
  int deliveries = 0;
  int good = 0;         // with result 0
  bool failed = false;  // a delivery with another result or a problem, or a wait failed
};

// Prints deliveries (and saves frames) until enough came, the time is up, a stop is
// requested, the wait fails or nobody reads the output any more.
void PrintDeliveries(OrnaSubscription* subscription, const MonitorOptions& options,
                     Tally* tally) {
  const bool timed = options.secondsGiven;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(
                         std::chrono::duration<double>(std::min(options.seconds, kLongestRun)));
  while (!SysStopRequested() && (!options.updatesGiven || tally->deliveries < options.updates)) {
    int waitMs = kWaitSliceMs;
    if (timed) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return;
      if (left < waitMs) waitMs = static_cast<int>(left);
    }
    OrnaReply reply;
    // Frames are read in place unless they are saved (a PNG written from a frame the
    // ring overwrote meanwhile couldn't be taken back).
    const bool inPlace = options.pngDirectory.empty();
    const int waited = inPlace ? OrnaNextDeliveryView(subscription, &reply, waitMs)
                               : OrnaNextDelivery(subscription, &reply, waitMs);
    if (waited == ORNA_CONNECTION_TIMEOUT) continue;
    if (waited != 0) {
      std::fprintf(stderr, "ornactl: waiting for deliveries failed: %d %s\n", waited,
                   OrnaErrorText(waited));
      tally->failed = true;
      return;
    }
    ReplyData data = ToReplyData(reply, true);
    std::string line = ReplyLine(data, options.call.json);
    const bool problem = !ReplyDataProblem(data).empty();
    // Overwritten while it was read: missed, as if it had never come.
    if (!OrnaDeliveryIntact(reply)) continue;
    ++tally->deliveries;
    if (reply.result != 0 || problem) tally->failed = true;
    if (reply.result == 0) ++tally->good;
    if (reply.result == 0 && reply.format == ORNA_FMT_IMAGE && !options.pngDirectory.empty() &&
        !SaveFrame(reply, options.pngDirectory, &data.savedPath)) {
      tally->failed = true;
    }
    if (!data.savedPath.empty()) line = ReplyLine(data, options.call.json);
    // Nobody reads the output any more: stop as if interrupted.
    if (!PrintLine(line)) return;
  }
}

}  // namespace

int RunMonitor(const MonitorOptions& options) {
  CatchStopRequests();
  const CallOptions& call = options.call;
  short format = 0;
  if (int status = CheckCallOptions(call, ORNA_FMT_INT32, &format); status != kExitOk) {
    return status;
  }
  if (int status = CheckMonitorOptions(options); status != kExitOk) return status;

  const OutputChoice output = ResolveOutput(call, format);
  if (!options.pngDirectory.empty() && output.format != ORNA_FMT_IMAGE) {
    std::fprintf(stderr, "ornactl: deliveries come as %s, not frames; nothing will be saved\n",
                 FormatName(output.format).c_str());
  }

  OrnaSubscription* subscription = nullptr;
  const int refused = OrnaSubscribe(call.address.c_str(), call.property.c_str(),
                                    output.format, output.count, options.intervalMs,
                                    call.timeoutMs, &subscription);
  if (refused != 0) {
    OrnaReply reply;
    reply.result = refused;
    reply.format = output.format;
    PrintLine(ReplyLine(ToReplyData(reply, false), call.json));
    return kExitFailed;
  }

  SysTakeStopRequests();
  Tally tally;
  PrintDeliveries(subscription, options, &tally);
  OrnaUnsubscribe(subscription);

  if (tally.deliveries == 0) {
    std::fprintf(stderr, "ornactl: no delivery arrived\n");
    return kExitFailed;
  }
  return tally.good > 0 && !tally.failed ? kExitOk : kExitFailed;
}

}  // namespace ornactl
