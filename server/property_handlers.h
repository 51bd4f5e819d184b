// The module's own property handlers: HandleProperty dispatches a call by the id that
// LookupPropertyId finds, applies the read-only rule, and answers with a result code
// (0, 2, 23, 36, 73) or a completion code above 512.
//
// Threading: main thread, inside the equipment function, while it holds
// EqmOrFrameNotify.
#pragma once

#include <cstdint>

#include "orna/orna_api.h"

// The version text the module reports.
inline constexpr char kVersionText[] = "HVX Vuzu 0.2beta dev";

int HandleProperty(const char* device, const char* property, DataObject* dout,
                   DataObject* din, short access);

// The handlers of the Output device (frame_handlers.cc); the read-only rule has been
// applied by the caller. scheduled: the ".Sched" twin, served once per frame.
int HandleFrame(DataObject* dout, bool scheduled);
int HandleHeader(DataObject* dout, bool scheduled);

// DoRestart: a write of 1 requests a restart (513), any other write is refused (515),
// and a read answers the resulting code as its value; 514 without a write.
int HandleDoRestart(DataObject* dout, DataObject* din, short access);
