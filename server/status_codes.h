// The codes and texts a client sees beside the data: the server's and the image
// source's status codes with the rules that choose them, and the completion texts of
// result codes above 512.
//
// Threading: ServerStatusCode and SourceStatusCode read the process flags and run on
// the main thread; the rest are pure and may be called from any thread.
#pragma once

#include <cstdint>

#include "orna/orna_api.h"

// Completion codes the module answers with a text.
enum CompletionCode : int32_t {
  kCompletionServerRestarting = 513,
  kCompletionServerRunning = 514,
  kCompletionBadRestartMagic = 515,
  kCompletionAlreadySent = ORNA_SCHEDULED_ALREADY_SENT,  // the library sends nothing
  kCompletionNoFrameYet = 517,
  kCompletionReadbackFailed = 518,
  kCompletionPutToHardwareFailed = 519,
};

enum ServerStatus : int32_t {
  kServerReinitializationFailed = 0,
  kServerFine = 1,
  kServerSomeWarning = 2,
  kServerStayQuiet = 3,
  kServerCameraDisconnected = 4,
  kServerManyWarnings = 5,
};

enum SourceStatus : int32_t {
  kSourceReinitializationFailed = 0,
  kSourceFine = 1,
  kSourceNoNewFrames = 2,
  kSourceStayQuiet = 3,
  kSourceCameraDisconnected = 4,
};

// The text of a code above 512; "Unknown error." for codes without one.
const char* CompletionText(int32_t code);
// The texts of the status codes; codes outside the tables give an empty text.
const char* ServerStatusText(int32_t code);
const char* SourceStatusText(int32_t code);

// The first rule that holds: SourceFailed, StayQuiet, a temporarily disconnected
// source, ErrorCount at most 0, at most 100, more.
ServerStatus ServerStatusCode();
// SourceFailed, StayQuiet, a temporarily disconnected source; else the age of the
// frame last announced: above 2000 ms "no new frames", otherwise fine. Call under
// EqmOrFrameNotify (it reads CurrentFrame).
SourceStatus SourceStatusCode();

// Age in milliseconds of a frame captured at captureSeconds + captureMicroseconds,
// seen at nowSeconds + nowMilliseconds, in floating point.
double FrameAgeMilliseconds(int64_t nowSeconds, int32_t nowMilliseconds,
                            uint32_t captureSeconds, uint32_t captureMicroseconds);
