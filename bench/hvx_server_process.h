// The frame server under measurement: a copy of the built hvxserver in a fresh
// temporary directory with its own settings.xml and a counter-pattern animation (every
// pixel of animation frame i holds i), started as a child process on a free loopback
// port with a private names directory and registry. POSIX only, like the benchmark.
#pragma once

#include <sys/types.h>

#include <string>

namespace bench {

constexpr const char* kHvxServerAddress = "/BENCH/HVXBENCH";
constexpr const char* kHvxOutputAddress = "/BENCH/HVXBENCH/Output";

struct HvxServer {
  pid_t pid = -1;
  std::string directory;  // removed by StopHvxServer
};

// Animation frames of the counter pattern the server plays.
constexpr int kHvxAnimationFrames = 16;

// The animation frame a pass of the grab loop delivers (passNumber counts from 1): the
// player steps 0, 1, .., N-1, N-1, .., 1 and again, one step per pass.
int AnimationIndexOfPass(uint32_t passNumber);

// Starts HVXSERVER playing WIDTH x HEIGHT 8-bit frames at LIMIT_FRAMERATE ("0": no
// limit) and waits (at most 15 s) until it answers. ORNA_NAMES_DIR of this process is
// set to the server's, so that the library's client side finds it. False with *error
// set when it did not come.
bool StartHvxServer(const std::string& hvxserver, int width, int height,
                    const char* limitFramerate, HvxServer* server, std::string* error);

// Ends the server (SIGTERM, then SIGKILL after 5 s), reaps it and removes its directory.
void StopHvxServer(HvxServer* server);

}  // namespace bench
