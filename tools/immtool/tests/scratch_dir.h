// A private temporary directory for one test, removed with everything in it at the
// end, so that tests running side by side never share a file. One thread.
#pragma once

#include <string>

class ScratchDir final {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string File(const std::string& name) const { return path_ + "/" + name; }
  bool Exists(const std::string& name) const;
  // The file's bytes; empty when it can't be read.
  std::string Read(const std::string& name) const;
  bool Write(const std::string& name, const std::string& contents) const;

 private:
  std::string path_;
};
