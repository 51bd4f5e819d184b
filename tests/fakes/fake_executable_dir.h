// A private temporary directory that poses as the executable's directory: while the
// object lives, the server's files (settings.xml, HVX.log, ...) are looked for there.
// Each object has its own directory, so test processes that run in parallel never
// share files, and the test binaries' own directory stays clean. The directory and all
// in it are removed at destruction.
//
// Threading: create and destroy on the test's main thread while no other thread
// reads the executable's path.
#pragma once

#include <string>
#include <vector>

class FakeExecutableDir {
 public:
  FakeExecutableDir();
  // Poses the existing directory EXISTING, which stays when the object goes (a death
  // test's child process taking its parent's directory).
  explicit FakeExecutableDir(const std::string& existing);
  ~FakeExecutableDir();

  FakeExecutableDir(const FakeExecutableDir&) = delete;
  FakeExecutableDir& operator=(const FakeExecutableDir&) = delete;

  // The directory, without a trailing separator.
  const std::string& Path() const { return path_; }
  // The path of a file in the directory.
  std::string File(const std::string& name) const;
  // The executable's full file name as SysGetModuleFileName now answers it.
  std::string Executable() const;

  bool Write(const std::string& name, const std::string& contents) const;
  // The text file's contents (a CR LF line end, as Windows writes them, reads as a
  // line feed); empty when it can't be read.
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;
  // The names of all entries of the directory, sorted.
  std::vector<std::string> List() const;

 private:
  std::string path_;
  bool owned_ = true;
};
