// The video service's store of settings files: a directory that holds, per server
// identifier N, the file N.xml (that server's settings.xml) and optionally the mark
// N.quiet, which makes the service answer "Stay Quiet" (700) for N, with the mark's
// content as the file when it has one. The files are read afresh at every request, so
// that a file or a mark changed on disk takes effect at the server's next start or
// restart.
//
// Threading: any thread; the functions keep no state.
#pragma once

#include <cstdint>

// The answers of a look-up. 0 and 700 come with the file's bytes (possibly none);
// the others come with no bytes and are completion codes with a text.
enum : int32_t {
  kConfigFound = 0,
  kConfigStayQuiet = 700,
  kConfigUnknownServer = 701,  // neither N.xml nor N.quiet
  kConfigTooLarge = 702,       // the file does not fit into the caller's buffer
  kConfigUnreadable = 703,     // the file exists but can't be read
};

// The largest settings file the service hands out: what the server's receive buffer
// holds.
inline constexpr int32_t kConfigSizeLimit = 16384;

// Looks up the settings of server id in directory. On 0 or 700 the file's bytes are in
// buffer (capacity bytes; not zero-terminated) and their number in *size; otherwise
// *size is 0.
int32_t LookUpServerConfig(const char* directory, int32_t id, char* buffer, int32_t capacity,
                           int32_t* size);

// The completion text of a look-up's answer ("" for 0).
const char* ConfigAnswerText(int32_t answer);
