// One property call through the module's equipment function, turned into the header
// and data of an answer. Used for client calls and for contract reads.
//
// Main thread only (inside _SystemCycle).
#pragma once

#include "orna/message.h"
#include "orna/orna_api.h"
#include "orna/wire.h"

// The data of one answer. Plain values are copied out of the work area at once. A
// frame keeps its 196-byte prefix and the address of its pixels, which stay valid only
// until the module's next call, or, when the module lent them (DataObject::
// releasePixels), until they are released: OrnaMakeAnswerData copies them, once, and
// only when a client can take the answer, so frames nobody can receive cost no copy,
// and releases the loan right after that copy. An answer that is dropped uncopied
// releases its loan when it ends, so every loan is released exactly once.
struct OrnaAnswerData {
  OrnaAnswerData() = default;
  ~OrnaAnswerData();
  OrnaAnswerData(const OrnaAnswerData&) = delete;
  OrnaAnswerData& operator=(const OrnaAnswerData&) = delete;

  bool present = false;  // the answer carries data (results 0 and above 512)
  bool made = false;     // `message` holds it
  OrnaMessage message;
  uint8_t prefix[ORNA_FRAME_PREFIX_SIZE] = {};
  const uint8_t* pixels = nullptr;
  int32_t pixelCount = 0;
  // The module's loan of the pixels, or null.
  void (*releasePixels)(void* context) = nullptr;
  void* releaseContext = nullptr;
  // The frame was put into the server's frame ring (frame_ring_server.h), there.
  bool inRing = false;
  orna_wire::RingNotice ringNotice;
};

// Calls the equipment function for DEVICE/PROPERTY with an output of OUT_FORMAT and
// OUT_COUNT (none for ORNA_FMT_NULL), the input DIN (may be null) and ACCESS. Fills
// result, text, format, count and stamp of HEADER, and DATA. A loan of pixels that
// the answer doesn't carry (a failed call, a bad count) is released before it returns.
void OrnaReadProperty(const char* device, const char* property, short outFormat,
                      int32_t outCount, DataObject* din, short access,
                      orna_wire::ReplyHeader* header, OrnaAnswerData* data);
// Makes DATA's message when it is not made yet; for a frame this is the one copy of
// its pixels, after which their loan is released. Must run before the module is
// called again. False when memory is short (the loan is released all the same).
bool OrnaMakeAnswerData(OrnaAnswerData* data);
// Gives the module back the pixels DATA borrowed, if any; harmless when none are.
void OrnaReleaseAnswerPixels(OrnaAnswerData* data);
