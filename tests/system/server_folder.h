// One hvxserver in a folder of its own, as the system tests and the benchmarks start
// it: a copy of a built server in a private directory (the server finds its files
// beside its executable) with a settings.xml and an animation file, run with a private
// names directory, base port and registry, on loopback only. The calling process
// resolves servers in the same names directory, so the library's client side reaches
// this server. The destructor kills what still runs and removes the folder.
//
// One thread: the caller's. POSIX only (the server is started with posix_spawn).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/fakes/settings_writer.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

// An animation file of FRAMES records of WIDTH x HEIGHT 8-bit pixels in which every
// pixel of frame i holds i & 0xff (as immtool's counter pattern does).
std::string CounterAnimation(int width, int height, int frames);

class ServerFolder {
 public:
  // PROGRAM: the built hvxserver that Start copies into the folder.
  explicit ServerFolder(std::string program);
  virtual ~ServerFolder();
  ServerFolder(const ServerFolder&) = delete;
  ServerFolder& operator=(const ServerFolder&) = delete;

  // The settings the server will find (ValidSettings with this run's names), and the
  // animation it plays.
  std::vector<SettingsEntry>& settings() { return settings_; }
  bool WriteSettings();
  bool WriteAnimation(const std::string& bytes);

  // Runs EXE, the Windows build of the server, under Wine instead of the Linux one. That
  // server registers in its own (Windows) names folder, so this run's clients find it
  // through a names file (ORNA_NAMES_FILE) instead. Call before Start.
  bool UseWindowsServer(const std::string& exe);
  // Adds a variable to the server's own environment (not to Environment()).
  void AddServerEnvironment(const std::string& name, const std::string& value) {
    serverEnvironment_.emplace_back(name, value);
  }
  // Sends the server's standard output and error to PATH (say a FIFO) instead of the
  // run's stdout.txt and stderr.txt. Call before Start.
  void SendOutputTo(const std::string& path) { outputPath_ = path; }
  // Starts the server with ARGS. Settings and animation must be written first.
  bool Start(const std::vector<std::string>& args = {});
  // Waits until the server's names entry resolves (the Windows server: until it answers
  // a call); false when it ended or timed out.
  bool WaitServing(int timeoutMs);
  bool WaitExit(int timeoutMs, int* status);
  bool Signal(int signal);
  bool Running();
  // Asks a running server to end (SIGTERM) and waits up to 5 s for it, so that it ends
  // the way a user ends it; true when it ended (or wasn't running).
  bool Stop();
  // Kills the server if it still runs and reaps it.
  void Kill() { process_.reset(); }
  // The server's process id; -1 before Start.
  pid_t pid() const { return process_ != nullptr ? process_->pid() : -1; }

  // "/TEST/HVX.TEST" and "/TEST/HVX.TEST/DEVICE".
  std::string ServerAddress() const;
  // Whether the server's entry is in the names directory (alive or not).
  bool NamesEntryExists() const;
  std::string Address(const std::string& device) const;
  const TempDir& dir() const { return dir_; }
  std::string Log() const { return ReadWholeFile(dir_.Join("HVX.log")); }
  std::string Stdout() const { return ReadWholeFile(dir_.Join("stdout.txt")); }
  std::string Stderr() const { return ReadWholeFile(dir_.Join("stderr.txt")); }
  int basePort() const { return basePort_; }
  // Makes the server use another run's base port (and so its port).
  void UseBasePort(int port);
  // The environment a tool needs to reach this server (names directory and port).
  std::vector<std::pair<std::string, std::string>> Environment() const;

 private:
  std::string program_;
  TempDir dir_;
  std::vector<SettingsEntry> settings_;
  int basePort_ = 0;
  std::vector<std::pair<std::string, std::string>> serverEnvironment_;
  std::string windowsExe_;
  std::string outputPath_;

  // The server answers a read of its status.
  bool Answering() const;
  std::unique_ptr<ChildProcess> process_;
};
