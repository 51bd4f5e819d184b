// Frames pushed by the library to subscribers of the benchmark server's Frame.Sched
// (format 567, interval 0), each subscriber on its own thread of this process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// The server's counters (OrnaDescribeServer) and the module's count of frames read.
struct ServerCounters {
  uint64_t framesRead = 0;
  uint64_t pixelCopies = 0;
  uint64_t deliveries = 0;
  uint64_t dropped = 0;
  uint64_t contracts = 0;
};
bool ReadServerCounters(ServerCounters* counters);

struct SubscriberFigures {
  double framesPerSecond = 0.0;
  double megabytesPerSecond = 0.0;  // 10^6 bytes of prefix + pixels
  uint64_t frames = 0;
  uint64_t missed = 0;  // deliveries of the contract this subscriber did not get
};

struct PushFigures {
  bool ok = false;
  std::string error;
  double seconds = 0.0;                    // the measured window
  std::vector<SubscriberFigures> subscribers;
  ServerCounters server;                   // differences over the whole case
  bool contractsEnded = false;             // every contract gone before the last reading
};

// Subscribes SUBSCRIBERS clients to frames of FRAME_BYTES pixel bytes, counts what each
// receives over SECONDS after a warm-up, ends the subscriptions, and takes the server's
// counters before the first subscription and after the contract ended, so that they
// cover every read of the case.
PushFigures MeasureFramePush(int frameBytes, int subscribers, double seconds);

}  // namespace bench
