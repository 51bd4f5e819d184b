#include "bench/hvx_server_process.h"

#include <signal.h>

namespace bench {

namespace {

// The server's settings: the tests' valid ones, under the benchmark's names.
std::vector<SettingsEntry> BenchSettings(const char* limitFramerate) {
  std::vector<SettingsEntry> s = ValidSettings();
  s = WithValue(s, "Hardware", "AnimationFile", "bench.imm");
  s = WithValue(s, "Hardware", "LimitFramerate", limitFramerate);
  s = WithValue(s, "ImageSource", "Name", "bench camera");
  s = WithValue(s, "OrnaServerSettings", "Context", "BENCH");
  s = WithValue(s, "OrnaServerSettings", "ServerName", "HVXBENCH");
  s = WithValue(s, "OrnaServerSettings", "EquipmentModuleName", "HVXBEN");
  s = WithValue(s, "OrnaVideoService", "Context", "BENCH");
  return Without(s, "OrnaServerSettings", "DeadManCircuitName");
}

}  // namespace

bool StartHvxServer(const std::string& hvxserver, int width, int height,
                    const char* limitFramerate, HvxServer* server, std::string* error) {
  server->folder = std::make_unique<ServerFolder>(hvxserver);
  ServerFolder& folder = *server->folder;
  server->directory = folder.dir().path();
  if (server->directory.empty()) {
    *error = "cannot make a run directory";
    return false;
  }
  folder.settings() = BenchSettings(limitFramerate);
  if (!folder.WriteSettings() ||
      !folder.WriteAnimation(CounterAnimation(width, height, kHvxAnimationFrames))) {
    *error = "cannot prepare " + server->directory;
    return false;
  }
  if (!folder.Start()) {
    *error = "cannot start hvxserver";
    return false;
  }
  server->pid = folder.pid();
  if (folder.WaitServing(15000)) return true;
  *error = folder.Running() ? "hvxserver did not answer in 15 s"
                            : "hvxserver ended at start: " + folder.Stderr();
  return false;
}

void StopHvxServer(HvxServer* server) {
  if (server->folder != nullptr) server->folder->Stop();
  server->folder.reset();  // kills what still runs, removes the folder
  server->pid = -1;
  server->directory.clear();
}

}  // namespace bench
