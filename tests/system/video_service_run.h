// One videoservice started by a system test beside an HvxServerRun: it serves
// /TEST/VIDEOSRV/MPServer (the names ValidSettings gives the server's video service)
// from a private configuration directory, registers in the run's names directory and
// listens on a base port of its own, on loopback. The destructor asks it to exit
// (SRVEXIT) and kills it when it does not.
//
// One thread: the test's.
#pragma once

#include <memory>
#include <string>

#include "tests/support/child_process.h"
#include "tests/system/hvx_server_run.h"

class VideoServiceRun final {
 public:
  // Uses the names directory of run; the configuration directory is made in run's
  // directory.
  explicit VideoServiceRun(const HvxServerRun& run);
  ~VideoServiceRun();
  VideoServiceRun(const VideoServiceRun&) = delete;
  VideoServiceRun& operator=(const VideoServiceRun&) = delete;

  // Files of the configuration directory (<id>.xml, <id>.quiet).
  bool WriteFile(const std::string& name, const std::string& contents);
  bool RemoveFile(const std::string& name);

  bool Start();
  // Waits until the service resolves in the names directory.
  bool WaitServing(int timeoutMs);
  std::string Stdout() const { return ReadWholeFile(stdoutPath_); }

 private:
  void EndProcess();  // asks it to exit, kills it when it doesn't

  std::string configDir_;
  std::string stdoutPath_;
  std::string namesDir_;
  int basePort_;
  std::unique_ptr<ChildProcess> process_;
};

// Reads a text property (format 516 or 531 of count 1) at address; the text, or
// "error <code>".
std::string ReadText(const std::string& address, const char* property, bool name48);
// Reads an int32 property; *value holds it on 0. Answers the call's result.
int ReadInt(const std::string& address, const char* property, int32_t* value);
// Writes one int32 to a property; the call's result.
int WriteInt(const std::string& address, const char* property, int32_t value);
