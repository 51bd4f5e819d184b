// The Output device: the current frame (its prefix, its pixels lent to the library
// until it has copied them) and the current FrameHeader, each on request and once per frame.
#include <cstring>

#include "server/current_frame.h"
#include "server/property_handlers.h"
#include "server/status_codes.h"
#include "source/frame_header.h"

namespace {

constexpr int32_t kHeaderSize = static_cast<int32_t>(kFrameHeaderSize);

}  // namespace

int HandleFrame(DataObject* dout, bool scheduled) {
  if (!HasCurrentFrame()) return kCompletionNoFrameYet;
  if (scheduled && CurrentFrame.frameSent) return kCompletionAlreadySent;
  if (dout == nullptr) return ORNA_ILLEGAL_FORMAT;
  uint32_t pixels = CurrentPixelCount();
  if (dout->count <= 0) return ORNA_DIMENSION_ERROR;
  if (static_cast<uint32_t>(dout->count) < pixels) return ORNA_DIMENSION_ERROR;
  if (dout->format != ORNA_FMT_IMAGE || dout->data == nullptr) return ORNA_ILLEGAL_FORMAT;

  // The library takes the pixels from the slot after the call; a library still holding
  // an earlier loan gets none.
  if (!LendCurrentPixels(dout)) return ORNA_OPERATION_FAILED;
  dout->count = static_cast<int32_t>(pixels);
  dout->stamp = CurrentFrame.timeStamp;
  memcpy(dout->data, CurrentFrame.slot, ORNA_FRAME_PREFIX_SIZE);
  if (scheduled) CurrentFrame.frameSent = true;
  return ORNA_OK;
}

int HandleHeader(DataObject* dout, bool scheduled) {
  if (!HasCurrentFrame()) return kCompletionNoFrameYet;
  if (scheduled && CurrentFrame.headerSent) return kCompletionAlreadySent;
  if (dout == nullptr) return ORNA_ILLEGAL_FORMAT;
  if (dout->count != kHeaderSize) return ORNA_DIMENSION_ERROR;
  if (dout->format != ORNA_FMT_BYTE || dout->data == nullptr) return ORNA_ILLEGAL_FORMAT;

  dout->stamp = CurrentFrame.timeStamp;
  memcpy(dout->data, CurrentFrame.slot, kHeaderSize);
  if (scheduled) CurrentFrame.headerSent = true;
  return ORNA_OK;
}
