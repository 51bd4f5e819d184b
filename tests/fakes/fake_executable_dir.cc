#include "tests/fakes/fake_executable_dir.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/sys.h"
#include "platform/sys_testing.h"
#include "tests/support/temp_dir.h"

FakeExecutableDir::FakeExecutableDir() {
  path_ = MakeTestDirectory("hvx-test");
  SysSetModuleFileNameForTesting(Executable().c_str());
}

FakeExecutableDir::FakeExecutableDir(const std::string& existing) : path_(existing), owned_(false) {
  SysSetModuleFileNameForTesting(Executable().c_str());
}

FakeExecutableDir::~FakeExecutableDir() {
  SysSetModuleFileNameForTesting(nullptr);
  std::error_code error;
  if (owned_ && !path_.empty()) std::filesystem::remove_all(path_, error);
}

std::string FakeExecutableDir::File(const std::string& name) const {
  return path_ + kSysPathSeparator + name;
}

std::string FakeExecutableDir::Executable() const { return File("hvxserver"); }

bool FakeExecutableDir::Write(const std::string& name, const std::string& contents) const {
  std::ofstream file(File(name), std::ios::binary | std::ios::trunc);
  file << contents;
  return static_cast<bool>(file);
}

std::string FakeExecutableDir::Read(const std::string& name) const {
  std::ifstream file(File(name));
  std::ostringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

bool FakeExecutableDir::Exists(const std::string& name) const {
  std::error_code error;
  return std::filesystem::exists(File(name), error);
}

std::vector<std::string> FakeExecutableDir::List() const {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(path_, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}
