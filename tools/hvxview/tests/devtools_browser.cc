#include "tools/hvxview/tests/devtools_browser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "orna/base64.h"

extern char** environ;

namespace {

constexpr int kCallTimeoutMs = 15000;

// A pipe whose ends are both above fd 4, so that placing them at 3 and 4 in the child
// never collides with where they already are.
bool HighPipe(int* readEnd, int* writeEnd) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  *readEnd = fcntl(ends[0], F_DUPFD_CLOEXEC, 10);
  *writeEnd = fcntl(ends[1], F_DUPFD_CLOEXEC, 10);
  close(ends[0]);
  close(ends[1]);
  return *readEnd >= 0 && *writeEnd >= 0;
}

}  // namespace

DevToolsBrowser::~DevToolsBrowser() { Close(); }

bool DevToolsBrowser::Start(const std::string& program, const std::string& profileDir,
                            const std::string& logPath) {
  int childReads = -1, toBrowser = -1, fromBrowser = -1, childWrites = -1;
  if (!HighPipe(&childReads, &toBrowser) || !HighPipe(&fromBrowser, &childWrites)) {
    error_ = "no pipes";
    return false;
  }
  std::vector<std::string> args = {program,
                                   "--headless",
                                   "--no-sandbox",
                                   "--disable-gpu",
                                   "--disable-quic",
                                   "--no-first-run",
                                   "--disable-background-networking",
                                   "--disable-component-update",
                                   "--disable-sync",
                                   "--disable-dev-shm-usage",
                                   "--remote-debugging-pipe",
                                   "--user-data-dir=" + profileDir,
                                   "about:blank"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, childReads, 3);
  posix_spawn_file_actions_adddup2(&actions, childWrites, 4);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                            POSIX_SPAWN_SETSIGDEF);
  const int spawned =
      posix_spawnp(&pid_, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(childReads);
  close(childWrites);
  toBrowser_ = toBrowser;
  fromBrowser_ = fromBrowser;
  if (spawned != 0) {
    pid_ = -1;
    error_ = program + " could not be started";
    return false;
  }
  return true;
}

bool DevToolsBrowser::Call(const std::string& method, const nlohmann::json& params, bool toPage,
                           nlohmann::json* result) {
  const int id = nextId_++;
  nlohmann::json message = {{"id", id}, {"method", method}, {"params", params}};
  if (toPage) message["sessionId"] = sessionId_;
  std::string text = message.dump();
  text.push_back('\0');
  for (size_t sent = 0; sent < text.size();) {
    const ssize_t n = write(toBrowser_, text.data() + sent, text.size() - sent);
    if (n <= 0) {
      error_ = method + ": the browser is gone";
      return false;
    }
    sent += static_cast<size_t>(n);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCallTimeoutMs);
  for (;;) {
    // Whole messages first; events and other answers are passed over.
    for (size_t end = pending_.find('\0'); end != std::string::npos; end = pending_.find('\0')) {
      nlohmann::json answer = nlohmann::json::parse(pending_.substr(0, end), nullptr, false);
      pending_.erase(0, end + 1);
      if (answer.is_discarded() || !answer.contains("id") || answer["id"] != id) continue;
      if (answer.contains("error")) {
        error_ = method + ": " + answer["error"].dump();
        return false;
      }
      *result = answer["result"];
      return true;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    pollfd readable{fromBrowser_, POLLIN, 0};
    if (left <= 0 || poll(&readable, 1, static_cast<int>(left)) <= 0) {
      error_ = method + ": no answer in time";
      return false;
    }
    char buffer[65536];
    const ssize_t n = read(fromBrowser_, buffer, sizeof buffer);
    if (n <= 0) {
      error_ = method + ": the browser is gone";
      return false;
    }
    pending_.append(buffer, static_cast<size_t>(n));
  }
}

bool DevToolsBrowser::Open(const std::string& url, int width, int height) {
  nlohmann::json result;
  if (!Call("Target.createTarget", {{"url", "about:blank"}}, false, &result)) return false;
  const std::string target = result.value("targetId", "");
  if (!Call("Target.attachToTarget", {{"targetId", target}, {"flatten", true}}, false, &result))
    return false;
  sessionId_ = result.value("sessionId", "");
  return Call("Emulation.setDeviceMetricsOverride",
              {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", false}},
              true, &result) &&
         Call("Page.navigate", {{"url", url}}, true, &result);
}

bool DevToolsBrowser::Evaluate(const std::string& expression, nlohmann::json* value) {
  nlohmann::json result;
  if (!Call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}}, true,
            &result))
    return false;
  if (result.contains("exceptionDetails")) {
    error_ = "evaluation failed: " + result["exceptionDetails"].dump();
    return false;
  }
  *value = result["result"].value("value", nlohmann::json());
  return true;
}

bool DevToolsBrowser::Screenshot(const std::string& path) {
  nlohmann::json result;
  if (!Call("Page.captureScreenshot", {{"format", "png"}}, true, &result)) return false;
  std::string png;
  if (!Base64Decode(result.value("data", ""), &png) || png.empty()) {
    error_ = "screenshot: no picture";
    return false;
  }
  std::ofstream(path, std::ios::binary) << png;
  return true;
}

void DevToolsBrowser::Close() {
  if (pid_ > 0) {
    nlohmann::json ignored;
    Call("Browser.close", nlohmann::json::object(), false, &ignored);
    // The browser's helpers are in its process group: end them all, then reap it.
    bool reaped = false;
    for (int i = 0; i < 50 && !reaped; ++i) {
      reaped = waitpid(pid_, nullptr, WNOHANG) == pid_;
      if (!reaped) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(-pid_, SIGKILL);
    if (!reaped) waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  if (toBrowser_ >= 0) close(toBrowser_);
  if (fromBrowser_ >= 0) close(fromBrowser_);
  toBrowser_ = fromBrowser_ = -1;
}
