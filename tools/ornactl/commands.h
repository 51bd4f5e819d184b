// The commands of ornactl, each run once per process on the main thread with the
// options main.cc parsed. Each answers the process exit status: 0 when the (last)
// result is 0, 1 for any other result, 2 for a usage error found after parsing (a bad
// address, format or value). Output goes to stdout, one line per answer; messages
// about usage and local failures go to stderr.
#pragma once

#include <cstdint>
#include <string>

namespace ornactl {

enum ExitStatus : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

constexpr int kDefaultTimeoutMs = 3000;

// What read, write and monitor have in common.
struct CallOptions {
  std::string address;   // /CONTEXT/SERVER/DEVICE
  std::string property;
  std::string format;    // --format as typed; used when formatGiven
  bool formatGiven = false;
  int32_t count = 0;     // --count; used when countGiven
  bool countGiven = false;
  int timeoutMs = kDefaultTimeoutMs;
  bool json = false;
};

struct WriteOptions {
  CallOptions call;  // format: the format of VALUE (int32 when not given); count unused
  std::string value;
  bool alsoRead = false;  // --read: access read and write, output as for read
};

struct MonitorOptions {
  CallOptions call;
  int intervalMs = 1000;    // 0: only when the server schedules the property
  int updates = 0;          // stop after this many deliveries, when updatesGiven
  bool updatesGiven = false;
  double seconds = 0;       // stop after this long, when secondsGiven
  bool secondsGiven = false;
  std::string pngDirectory; // save frames here when not empty
};

struct RecordOptions {
  CallOptions call;  // timeoutMs: also the longest the server may stay silent
  std::string file;  // the animation file to write
  int frames = 0;    // --frames
};

struct ListingOptions {
  std::string address;  // props: /CONTEXT/SERVER/DEVICE; devices: /CONTEXT/SERVER
  int timeoutMs = kDefaultTimeoutMs;
  bool json = false;
};

int RunRead(const CallOptions& options);
int RunWrite(const WriteOptions& options);
// Runs until the update count or the time is reached, or until SIGINT or SIGTERM; ends
// the subscription in every case. 0 when at least one delivery with result 0 came and
// nothing went wrong (no delivery with another result, no bad frame, no failed save).
int RunMonitor(const MonitorOptions& options);
// Writes options.frames delivered frames to options.file as an animation file. 0 when
// all were written; 1 when recording failed (nothing is written then) or stopped early
// (by SIGINT or SIGTERM, or a server silent for the time-out: the frames so far are
// written).
int RunRecord(const RecordOptions& options);
struct ServersOptions {
  std::string context;  // empty: every context
  int timeoutMs = 1000;  // of each server's ping
  bool json = false;
};

int RunProps(const ListingOptions& options);
// Lists every server known through etcd, the names directory and the names file, each
// pinged (at most timeoutMs); 0 whether or not they answer, 2 for a bad context.
int RunServers(const ServersOptions& options);
// Writes a new CURVE key pair as PREFIX.key (private) and PREFIX.pub, labelled LABEL
// (the prefix's file name when empty). 1 when either file exists or can't be written.
int RunKeygen(const std::string& prefix, const std::string& label);
int RunDevices(const ListingOptions& options);

}  // namespace ornactl
