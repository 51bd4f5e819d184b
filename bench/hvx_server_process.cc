#include "bench/hvx_server_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "orna/orna_client.h"
#include "tests/support/child_process.h"

extern char** environ;

namespace bench {

namespace {

constexpr int kPortOffset = 4;

// Every key the server's start-up validation asks for.
std::string SettingsText(const char* limitFramerate) {
  std::string s = "<?xml version=\"1.0\" ?>\n<CIniExWrap>\n";
  s += "  <Hardware>\n    <Type>AnimationPlayback</Type>\n"
       "    <EffectiveBitsPerPixel>8</EffectiveBitsPerPixel>\n"
       "    <AnimationFile>bench.imm</AnimationFile>\n";
  s += std::string("    <LimitFramerate>") + limitFramerate + "</LimitFramerate>\n  </Hardware>\n";
  s += "  <ImageSource>\n    <Name>bench camera</Name>\n    <ID>1</ID>\n  </ImageSource>\n";
  s += "  <OrnaServerSettings>\n    <Context>BENCH</Context>\n    <ServerName>HVXBENCH</ServerName>\n"
       "    <PortOffset>4</PortOffset>\n    <EquipmentModuleName>HVXBEN</EquipmentModuleName>\n"
       "    <FecName>BENCHFEC</FecName>\n    <FecDescription>frame server benchmark</FecDescription>\n"
       "    <FecLocation>loopback</FecLocation>\n    <FecHardware>pc</FecHardware>\n"
       "    <FecResponsible>bench</FecResponsible>\n    <Subsystem>VIDEO</Subsystem>\n"
       "    <ID>1</ID>\n    <Name>hvx-bench</Name>\n  </OrnaServerSettings>\n";
  s += "  <OrnaVideoService>\n    <Context>BENCH</Context>\n    <ServerName>NOVIDEO</ServerName>\n"
       "  </OrnaVideoService>\n</CIniExWrap>\n";
  return s;
}

bool WriteAnimation(const std::string& path, int width, int height) {
  std::ofstream out(path, std::ios::binary);
  std::vector<char> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int i = 0; i < kHvxAnimationFrames; ++i) {
    const unsigned char record[8] = {
        (unsigned char)(width & 0xff), (unsigned char)(width >> 8), 8, 0,
        (unsigned char)(height & 0xff), (unsigned char)(height >> 8), 8, 0};
    out.write(reinterpret_cast<const char*>(record), sizeof record);
    std::fill(pixels.begin(), pixels.end(), static_cast<char>(i));
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    const char trailer[8] = {};
    out.write(trailer, sizeof trailer);
  }
  return static_cast<bool>(out);
}

}  // namespace

int AnimationIndexOfPass(uint32_t passNumber) {
  const uint32_t cycle = 2 * kHvxAnimationFrames - 1;
  int j = static_cast<int>((passNumber - 1) % cycle);
  return j < kHvxAnimationFrames ? j : static_cast<int>(cycle) - j;
}

bool StartHvxServer(const std::string& hvxserver, int width, int height,
                    const char* limitFramerate, HvxServer* server, std::string* error) {
  char pattern[] = "/tmp/hvx-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    *error = "cannot make a run directory";
    return false;
  }
  server->directory = pattern;
  const std::string dir = server->directory;
  std::error_code copyError;
  std::filesystem::copy_file(hvxserver, dir + "/hvxserver", copyError);
  std::ofstream(dir + "/settings.xml") << SettingsText(limitFramerate);
  if (copyError || !WriteAnimation(dir + "/bench.imm", width, height)) {
    *error = "cannot prepare " + dir;
    return false;
  }
  int port = FreeLoopbackPort();
  if (port <= kPortOffset) {
    *error = "no free port";
    return false;
  }
  setenv("ORNA_NAMES_DIR", (dir + "/names").c_str(), 1);
  setenv("ORNA_BASE_PORT", std::to_string(port - kPortOffset).c_str(), 1);
  setenv("ORNA_BIND_ADDRESS", "127.0.0.1", 1);
  setenv("HVX_REGISTRY_DIR", (dir + "/registry").c_str(), 1);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, (dir + "/stdout.txt").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, (dir + "/stderr.txt").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::string program = dir + "/hvxserver";
  char* argv[] = {program.data(), nullptr};
  int spawned = posix_spawn(&server->pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    server->pid = -1;
    *error = "cannot start hvxserver";
    return false;
  }
  // Serving once Server/Version answers.
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < end) {
    OrnaRequest request;
    request.outFormat = ORNA_FMT_NAME48;
    request.outCount = 1;
    OrnaReply reply;
    if (OrnaCall("/BENCH/HVXBENCH/Server", "Version", request, &reply, 500) == 0) return true;
    if (waitpid(server->pid, nullptr, WNOHANG) == server->pid) {
      server->pid = -1;
      *error = "hvxserver ended at start; see " + dir + "/stderr.txt";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  *error = "hvxserver did not answer in 15 s";
  return false;
}

void StopHvxServer(HvxServer* server) {
  if (server->pid > 0) {
    kill(server->pid, SIGTERM);
    bool ended = false;
    for (int i = 0; i < 50 && !ended; ++i) {
      ended = waitpid(server->pid, nullptr, WNOHANG) == server->pid;
      if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!ended) {
      kill(server->pid, SIGKILL);
      waitpid(server->pid, nullptr, 0);
    }
    server->pid = -1;
  }
  if (!server->directory.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(server->directory, ignored);
    server->directory.clear();
  }
}

}  // namespace bench
