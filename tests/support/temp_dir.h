// A fresh private directory under $TMPDIR (or /tmp) for one test, removed with all it
// holds when the object goes, so that tests running side by side never share a file.
//
// One thread.
#pragma once

#include <string>

class TempDir final {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Empty when the directory could not be made.
  const std::string& path() const { return path_; }
  std::string Join(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Makes a new folder PREFIX-<random> under $TMPDIR (or the system's temporary folder),
// private to the user where the platform has modes; its path, or empty when none could
// be made.
std::string MakeTestDirectory(const std::string& prefix);

// Whole content of a file; empty when it can't be read.
std::string ReadWholeFile(const std::string& path);
// Writes CONTENT as the whole file; false when it can't.
bool WriteWholeFile(const std::string& path, const std::string& content);
// True when a file, directory or anything else is at PATH.
bool FileExists(const std::string& path);
