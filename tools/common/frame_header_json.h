// The fields of a frame header as JSON members, in one order for every tool that
// writes them (`ornactl --json`, hvxview's frame descriptions and /status.json).
//
// Threading: pure function; any thread.
#pragma once

#include "tools/common/frame_header_view.h"
#include "tools/common/json_text.h"

namespace tools_common {

// Adds the header's fields to the object *out.
void AddFrameHeaderFields(const FrameHeader& header, Json* out);

}  // namespace tools_common
