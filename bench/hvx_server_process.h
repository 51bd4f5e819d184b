// The frame server under measurement: the built hvxserver in a folder of its own
// (tests/system/server_folder.h) with a counter-pattern animation (every pixel of
// animation frame i holds i), started on a free loopback port with a private names
// directory and registry. POSIX only, like the benchmark.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

#include "tests/system/server_folder.h"

namespace bench {

constexpr const char* kHvxServerAddress = "/BENCH/HVXBENCH";
constexpr const char* kHvxOutputAddress = "/BENCH/HVXBENCH/Output";

struct HvxServer {
  std::unique_ptr<ServerFolder> folder;
  pid_t pid = -1;
  std::string directory;  // removed by StopHvxServer
};

// Animation frames of the counter pattern the server plays.
constexpr int kHvxAnimationFrames = 16;

// Starts HVXSERVER playing WIDTH x HEIGHT 8-bit frames at LIMIT_FRAMERATE ("0": no
// limit) and waits (at most 15 s) until it answers. ORNA_NAMES_DIR of this process is
// set to the server's, so that the library's client side finds it. False with *error
// set when it did not come.
bool StartHvxServer(const std::string& hvxserver, int width, int height,
                    const char* limitFramerate, HvxServer* server, std::string* error);

// Ends the server (SIGTERM, then SIGKILL after 5 s), reaps it and removes its directory.
void StopHvxServer(HvxServer* server);

}  // namespace bench
