// Headless Chromium driven by a test over the DevTools protocol on a pipe
// (--remote-debugging-pipe: JSON messages ended by a zero byte, the browser reading
// fd 3 and writing fd 4), so no WebSocket client and no fixed port are needed. The
// browser runs in its own process group with a fresh profile directory; the
// destructor asks it to close and then kills the whole group, so no test leaves a
// browser behind. Every wait is bounded.
//
// One thread: the test's.
#pragma once

#include <sys/types.h>

#include <nlohmann/json.hpp>

#include <string>

class DevToolsBrowser final {
 public:
  DevToolsBrowser() = default;
  ~DevToolsBrowser();
  DevToolsBrowser(const DevToolsBrowser&) = delete;
  DevToolsBrowser& operator=(const DevToolsBrowser&) = delete;

  // Starts the browser with its profile in PROFILE_DIR and its messages in LOG_PATH.
  bool Start(const std::string& program, const std::string& profileDir,
             const std::string& logPath);
  // Opens URL in a new page of WIDTH x HEIGHT pixels and attaches to it.
  bool Open(const std::string& url, int width, int height);
  // Evaluates EXPRESSION in the page; its value (by value) in *value.
  bool Evaluate(const std::string& expression, nlohmann::json* value);
  // Writes a PNG screenshot of the page to PATH.
  bool Screenshot(const std::string& path);
  // What went wrong last.
  const std::string& error() const { return error_; }

 private:
  // Sends METHOD with PARAMS (to the attached page when toPage) and waits for its
  // answer's "result"; false with error_ set on an error answer or after the time-out.
  bool Call(const std::string& method, const nlohmann::json& params, bool toPage,
            nlohmann::json* result);
  void Close();

  pid_t pid_ = -1;
  int toBrowser_ = -1;
  int fromBrowser_ = -1;
  int nextId_ = 1;
  std::string sessionId_;
  std::string pending_;  // bytes read but not yet a whole message
  std::string error_;
};
