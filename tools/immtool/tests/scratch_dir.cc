#include "tools/immtool/tests/scratch_dir.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

ScratchDir::ScratchDir() {
  std::error_code error;
  std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) base = "/tmp";
  std::string pattern = (base / "immtool-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code error;
  if (!path_.empty()) std::filesystem::remove_all(path_, error);
}

bool ScratchDir::Exists(const std::string& name) const {
  std::error_code error;
  return std::filesystem::exists(File(name), error);
}

std::string ScratchDir::Read(const std::string& name) const {
  std::ifstream file(File(name), std::ios::binary);
  std::ostringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

bool ScratchDir::Write(const std::string& name, const std::string& contents) const {
  std::ofstream file(File(name), std::ios::binary | std::ios::trunc);
  file << contents;
  return static_cast<bool>(file);
}
