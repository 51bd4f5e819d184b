#include "tests/system/video_service_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "orna/names.h"
#include "orna/orna_api.h"
#include "tests/support/sanitizer_report.h"

namespace {

constexpr int kCallTimeoutMs = 3000;

}  // namespace

VideoServiceRun::VideoServiceRun(const HvxServerRun& run)
    : configDir_(run.dir().Join("service")),
      stdoutPath_(run.dir().Join("videoservice.txt")),
      namesDir_(run.dir().Join("names")),
      basePort_(FreeLoopbackPort()) {
  std::error_code error;
  std::filesystem::create_directories(configDir_, error);
}

VideoServiceRun::~VideoServiceRun() {
  EndProcess();
  std::string report = SanitizerReportIn(ReadWholeFile(stdoutPath_ + ".err"));
  if (!report.empty()) ADD_FAILURE() << "videoservice reported:\n" << report;
}

void VideoServiceRun::EndProcess() {
  if (process_ == nullptr || !process_->Running()) return;
  DataObject input{};
  int32_t value = 14;
  input.count = 1;
  input.format = ORNA_FMT_INT32;
  input.data = &value;
  ExecLinkEx("/TEST/VIDEOSRV/MPServer", "SRVEXIT", nullptr, &input, ORNA_ACCESS_WRITE, 2000);
  int status = 0;
  if (!process_->WaitExit(5000, &status)) process_.reset();  // killed and reaped
}

bool VideoServiceRun::WriteFile(const std::string& name, const std::string& contents) {
  return WriteWholeFile(configDir_ + "/" + name, contents);
}

bool VideoServiceRun::RemoveFile(const std::string& name) {
  std::error_code error;
  return std::filesystem::remove(configDir_ + "/" + name, error);
}

bool VideoServiceRun::Start() {
  ChildOptions options;
  options.program = VIDEOSERVICE_PATH;
  options.args = {"--context", "TEST", "--server", "VIDEOSRV", "--config-dir", configDir_};
  options.environment = {{"ORNA_NAMES_DIR", namesDir_},
                         {"ORNA_BASE_PORT", std::to_string(basePort_)},
                         {"ORNA_BIND_ADDRESS", "127.0.0.1"}};
  options.stdoutPath = stdoutPath_;
  options.stderrPath = stdoutPath_ + ".err";
  process_ = std::make_unique<ChildProcess>(options);
  return process_->Start();
}

bool VideoServiceRun::WaitServing(int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string endpoint;
  while (process_ != nullptr && process_->Running()) {
    if (OrnaResolveServer("TEST", "VIDEOSRV", &endpoint)) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

std::string ReadText(const std::string& address, const char* property, bool name48) {
  char buffer[4096] = {};
  DataObject output{};
  output.count = name48 ? 1 : int32_t(sizeof buffer - 1);
  output.format = name48 ? ORNA_FMT_NAME48 : ORNA_FMT_TEXT;
  output.data = buffer;
  int r = ExecLinkEx(address.c_str(), property, &output, nullptr, ORNA_ACCESS_READ, kCallTimeoutMs);
  if (r != 0) return "error " + std::to_string(r);
  size_t limit = name48 ? 48 : size_t(output.count);
  return std::string(buffer, strnlen(buffer, limit));
}

int ReadInt(const std::string& address, const char* property, int32_t* value) {
  DataObject output{};
  output.count = 1;
  output.format = ORNA_FMT_INT32;
  output.data = value;
  return ExecLinkEx(address.c_str(), property, &output, nullptr, ORNA_ACCESS_READ, kCallTimeoutMs);
}

int WriteInt(const std::string& address, const char* property, int32_t value) {
  DataObject input{};
  input.count = 1;
  input.format = ORNA_FMT_INT32;
  input.data = &value;
  return ExecLinkEx(address.c_str(), property, nullptr, &input, ORNA_ACCESS_WRITE, kCallTimeoutMs);
}

