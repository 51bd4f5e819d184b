#include "tests/support/temp_dir.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

std::string MakeTestDirectory(const std::string& prefix) {
  std::error_code error;
  const char* tmpdir = getenv("TMPDIR");
  fs::path base = tmpdir != nullptr && *tmpdir != '\0' ? fs::path(tmpdir) : fs::temp_directory_path(error);
  if (error) return "";
  std::random_device seed;
  std::mt19937_64 random(seed());
  const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = prefix + "-";
    for (int i = 0; i < 8; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    fs::path path = base / name;
    // create_directory answers false for a folder that was there already.
    if (fs::create_directory(path, error)) {
      fs::permissions(path, fs::perms::owner_all, error);
      return path.string();
    }
    if (error) return "";
  }
  return "";
}

TempDir::TempDir() : path_(MakeTestDirectory("hvx-test")) {}

TempDir::~TempDir() {
  std::error_code error;
  if (!path_.empty()) fs::remove_all(path_, error);
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool WriteWholeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  return static_cast<bool>(out);
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}
