#include "tests/system/server_folder.h"

#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "orna/names.h"
#include "orna/orna_api.h"

namespace {

constexpr int kPortOffset = 4;  // the offset ValidSettings gives

void PutLittle16(std::string& out, int value) {
  out += char(value & 0xff);
  out += char((value >> 8) & 0xff);
}

}  // namespace

std::string CounterAnimation(int width, int height, int frames) {
  std::string bytes;
  for (int i = 0; i < frames; ++i) {
    PutLittle16(bytes, width);
    bytes += char(8);  // bits per pixel
    bytes += char(0);
    PutLittle16(bytes, height);
    bytes += char(8);  // effective bits per pixel
    bytes += char(0);
    bytes += std::string(size_t(width) * size_t(height), char(i & 0xff));
    bytes += std::string(8, '\0');
  }
  return bytes;
}

ServerFolder::ServerFolder(std::string program) : program_(std::move(program)) {
  settings_ = ValidSettings();
  basePort_ = FreeLoopbackPort() - kPortOffset;
  // The client side of this test process looks for servers where this one registers.
  setenv("ORNA_NAMES_DIR", dir_.Join("names").c_str(), 1);
  setenv("ORNA_BASE_PORT", std::to_string(basePort_).c_str(), 1);
}

ServerFolder::~ServerFolder() { Kill(); }

void ServerFolder::UseBasePort(int port) {
  basePort_ = port;
  setenv("ORNA_BASE_PORT", std::to_string(basePort_).c_str(), 1);
}

bool ServerFolder::WriteSettings() {
  return WriteWholeFile(dir_.Join("settings.xml"), SettingsXml(settings_));
}

bool ServerFolder::WriteAnimation(const std::string& bytes) {
  for (const SettingsEntry& e : settings_)
    if (e.section == "Hardware" && e.key == "AnimationFile")
      return WriteWholeFile(dir_.Join(e.value), bytes);
  return false;
}

std::vector<std::pair<std::string, std::string>> ServerFolder::Environment() const {
  std::vector<std::pair<std::string, std::string>> environment = {
      {"ORNA_NAMES_DIR", dir_.Join("names")},
      {"ORNA_BASE_PORT", std::to_string(basePort_)},
      {"ORNA_BIND_ADDRESS", "127.0.0.1"},
      {"HVX_REGISTRY_DIR", dir_.Join("registry")}};
  if (!windowsExe_.empty()) environment.emplace_back("ORNA_NAMES_FILE", dir_.Join("names.txt"));
  return environment;
}

bool ServerFolder::UseWindowsServer(const std::string& exe) {
  windowsExe_ = exe;
  const std::string names = dir_.Join("names.txt");
  setenv("ORNA_NAMES_FILE", names.c_str(), 1);
  return WriteWholeFile(names, ServerAddress() + " tcp://127.0.0.1:" +
                                   std::to_string(basePort_ + kPortOffset) + "\n");
}

bool ServerFolder::Start(const std::vector<std::string>& args) {
  std::error_code error;
  const bool windows = !windowsExe_.empty();
  std::string copy = dir_.Join(windows ? "hvxserver.exe" : "hvxserver");
  std::filesystem::copy_file(windows ? windowsExe_ : program_, copy,
                             std::filesystem::copy_options::overwrite_existing, error);
  if (error) return false;
  ChildOptions options;
  options.program = windows ? "/usr/bin/wine" : copy;
  if (windows) options.args.push_back(copy);
  options.args.insert(options.args.end(), args.begin(), args.end());
  options.environment = Environment();
  options.environment.insert(options.environment.end(), serverEnvironment_.begin(),
                             serverEnvironment_.end());
  options.stdoutPath = outputPath_.empty() ? dir_.Join("stdout.txt") : outputPath_;
  options.stderrPath = outputPath_.empty() ? dir_.Join("stderr.txt") : outputPath_;
  process_ = std::make_unique<ChildProcess>(options);
  return process_->Start();
}

bool ServerFolder::WaitServing(int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string context, server, endpoint;
  OrnaParseAddress(ServerAddress().c_str(), &context, &server, nullptr);
  while (process_ != nullptr && process_->Running()) {
    if (windowsExe_.empty() ? OrnaResolveServer(context, server, &endpoint) : Answering())
      return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

bool ServerFolder::Answering() const {
  int32_t status = 0;  // Status as its code
  DataObject output{};
  output.count = 1;
  output.format = ORNA_FMT_INT32;
  output.data = &status;
  return ExecLinkEx(Address("Server").c_str(), "Status", &output, nullptr, ORNA_ACCESS_READ,
                    500) == 0;
}

bool ServerFolder::WaitExit(int timeoutMs, int* status) {
  return process_ != nullptr && process_->WaitExit(timeoutMs, status);
}

bool ServerFolder::Signal(int signal) { return process_ != nullptr && process_->Signal(signal); }

bool ServerFolder::Running() { return process_ != nullptr && process_->Running(); }

bool ServerFolder::Stop() {
  if (!Running()) return true;
  int status = 0;
  return Signal(SIGTERM) && WaitExit(5000, &status);
}

std::string ServerFolder::ServerAddress() const {
  std::string context, server;
  for (const SettingsEntry& e : settings_) {
    if (e.section == "OrnaServerSettings" && e.key == "Context") context = e.value;
    if (e.section == "OrnaServerSettings" && e.key == "ServerName") server = e.value;
  }
  return "/" + context + "/" + server;
}

bool ServerFolder::NamesEntryExists() const {
  // The test names need no encoding: the entry's file has the server's own name.
  std::string context, server;
  OrnaParseAddress(ServerAddress().c_str(), &context, &server, nullptr);
  std::error_code error;
  return std::filesystem::exists(dir_.Join("names/" + context + "/" + server), error);
}

std::string ServerFolder::Address(const std::string& device) const {
  return ServerAddress() + "/" + device;
}

