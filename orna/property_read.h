// One property call through the module's equipment function, turned into the header
// and data of an answer. Used for client calls and for contract reads.
//
// Main thread only (inside _SystemCycle).
#pragma once

#include "orna/message.h"
#include "orna/wire.h"
#include "server/orna_api.h"

// Calls the equipment function for DEVICE/PROPERTY with an output of OUT_FORMAT and
// OUT_COUNT (none for ORNA_FMT_NULL), the input DIN (may be null) and ACCESS. Fills
// result, text, format, count and stamp of HEADER, and DATA with the bytes to send;
// *HAS_DATA tells whether there are any (only for results 0 and above 512). For frames
// DATA is the 196-byte prefix followed by the pixel bytes, copied here once.
void OrnaReadProperty(const char* device, const char* property, short outFormat,
                      int32_t outCount, DataObject* din, short access,
                      orna_wire::ReplyHeader* header, OrnaMessage* data, bool* hasData);
