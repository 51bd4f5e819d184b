// The JSON texts the viewer serves: /status.json (the server's status values, its fault
// control as "faults", null when it has none, the viewer's frame counts, rate and
// latency history, and its stream readers) and the description of one frame that
// travels with its pixels to the page.
//
// Threading: pure functions; any thread.
#pragma once

#include <string>
#include <vector>

#include "tools/hvxview/frame_feed.h"
#include "tools/hvxview/server_status.h"
#include "tools/hvxview/stream_hub.h"

struct ViewerState {
  std::string server;  // /CONTEXT/SERVER
  bool controlAllowed = false;
  bool subscribed = false;
  uint64_t badFrames = 0;
  uint64_t encodeFailures = 0;
  ServerStatusSnapshot status;
  FeedStats feed;
  std::shared_ptr<const ViewFrame> latest;  // may be null
  std::vector<StreamReaderStats> streams;
};

// One JSON object: sequence, the header fields, eightBitShift (grey_jpeg.h), receivedAt
// and latencyMs of FRAME.
std::string FrameJson(const ViewFrame& frame);

// The whole of /status.json.
std::string StatusJson(const ViewerState& state);
