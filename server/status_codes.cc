#include "server/status_codes.h"

#include "base/process_state.h"
#include "server/current_frame.h"
#include "server/module_context.h"

namespace {

// A frame older than this says that frames have stopped coming in.
constexpr double kFrameAgeLimitMs = 2000.0;
// ErrorCount above this turns "some warning" into "many warnings".
constexpr int32_t kManyWarnings = 100;

}  // namespace

const char* CompletionText(int32_t code) {
  switch (code) {
    case kCompletionServerRestarting:
      return "Server restarting.";
    case kCompletionServerRunning:
      return "Server running.";
    case kCompletionBadRestartMagic:
      return "Bad restart magic passed.";
    case kCompletionAlreadySent:
      return "Scheduled: already sent.";
    case kCompletionNoFrameYet:
      return "No frame taken yet.";
    case kCompletionReadbackFailed:
      return "readback failed.";
    case kCompletionPutToHardwareFailed:
      return "put to hardware failed.";
    default:
      return "Unknown error.";
  }
}

const char* ServerStatusText(int32_t code) {
  switch (code) {
    case kServerReinitializationFailed:
      return "Reinitialization failed.";
    case kServerFine:
      return "Everything is fine.";
    case kServerSomeWarning:
      return "Some internal warning.";
    case kServerStayQuiet:
      return "Video Service said stay quiet.";
    case kServerCameraDisconnected:
      return "Camera temporarily disconnected.";
    case kServerManyWarnings:
      return "Many warnings happened";
    default:
      return "";
  }
}

const char* SourceStatusText(int32_t code) {
  switch (code) {
    case kSourceReinitializationFailed:
      return "Reinitialization failed.";
    case kSourceFine:
      return "Everything is fine.";
    case kSourceNoNewFrames:
      return "New frames are not coming in.";
    case kSourceStayQuiet:
      return "Video Service said stay quiet.";
    case kSourceCameraDisconnected:
      return "Camera temporarily disconnected.";
    default:
      return "";
  }
}

ServerStatus ServerStatusCode() {
  if (SourceFailed) return kServerReinitializationFailed;
  if (StayQuiet) return kServerStayQuiet;
  if (ModuleFrameSource().IsTemporarilyDisconnected()) return kServerCameraDisconnected;
  int32_t errors = ErrorCount.load();
  if (errors <= 0) return kServerFine;
  if (errors <= kManyWarnings) return kServerSomeWarning;
  return kServerManyWarnings;
}

double FrameAgeMilliseconds(int64_t nowSeconds, int32_t nowMilliseconds,
                            uint32_t captureSeconds, uint32_t captureMicroseconds) {
  return (static_cast<double>(nowSeconds) - static_cast<double>(captureSeconds)) * 1000.0 +
         static_cast<double>(nowMilliseconds) - static_cast<double>(captureMicroseconds) * 0.001;
}

SourceStatus SourceStatusCode() {
  if (SourceFailed) return kSourceReinitializationFailed;
  if (StayQuiet) return kSourceStayQuiet;
  if (ModuleFrameSource().IsTemporarilyDisconnected()) return kSourceCameraDisconnected;
  int64_t seconds = 0;
  int32_t milliseconds = 0;
  ModuleTimeNow(&seconds, &milliseconds);
  double age = FrameAgeMilliseconds(seconds, milliseconds, CurrentFrame.captureSeconds,
                                    CurrentFrame.captureMicroseconds);
  return age > kFrameAgeLimitMs ? kSourceNoNewFrames : kSourceFine;
}
