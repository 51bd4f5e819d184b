// Subscribers of the frame server's Output/Frame.Sched, each on its own thread of this
// process: what each receives, how late, and whether every frame holds the pixels its
// header names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct WatchFigures {
  bool ok = false;
  std::string error;
  double seconds = 0.0;              // the measured window
  uint32_t firstFrameNumber = 0;     // lowest and highest frameNumber any subscriber saw:
  uint32_t lastFrameNumber = 0;      // the frames the server announced meanwhile
  std::vector<uint64_t> received;    // frames per subscriber in the window
  // Per subscriber: the share (0..1) of the frames announced between the first and the
  // last one it received that it received.
  std::vector<double> share;
  uint64_t torn = 0;                 // frames whose pixels belong to another frame
  uint64_t viaSharedMemory = 0;      // frames that came through the server's frame ring
  std::vector<double> latencyMs;     // capture time (header) to arrival, every frame
  double serverCpuSeconds = 0.0;     // of the server process over the window
  // The server's own counters over the window (its "describe" answer): pixel copies
  // made and messages dropped for clients whose queue was full; and the frames it
  // announced meanwhile (from the current header at both ends), 0 when not read.
  uint64_t serverPixelCopies = 0;
  uint64_t serverDropped = 0;
  uint64_t serverFrames = 0;
};

// Subscribes SUBSCRIBERS clients to Frame.Sched of the server (pid SERVER_PID) with
// frames of FRAME_BYTES pixels, warms up 1 s, counts for SECONDS, and unsubscribes.
// LOCAL: the subscribers take frames through shared memory; else over TCP.
// Every pixel at a fixed stride (and the last) is compared with the frame the header
// names.
WatchFigures WatchFrames(int serverPid, int frameBytes, int subscribers, double seconds,
                         bool local);

}  // namespace bench
