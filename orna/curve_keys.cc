#include "orna/curve_keys.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zmq.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The lines of a key file that carry something, with their line numbers.
struct KeyLine {
  int number;
  std::string first;  // first word
  std::string rest;   // the rest, leading blanks removed
};

std::vector<KeyLine> Lines(const std::string& text) {
  std::vector<KeyLine> lines;
  size_t start = 0;
  for (int number = 1; start < text.size(); ++number) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.pop_back();
    size_t begin = line.find_first_not_of(" \t");
    if (begin == std::string::npos || line[begin] == '#') continue;
    size_t gap = line.find_first_of(" \t", begin);
    KeyLine entry{number, line.substr(begin, gap == std::string::npos ? std::string::npos : gap - begin), ""};
    if (gap != std::string::npos) entry.rest = line.substr(line.find_first_not_of(" \t", gap));
    lines.push_back(entry);
  }
  return lines;
}

// Reads the whole of an open descriptor (key files are small: at most 64 KB).
bool ReadAll(int fd, std::string* text) {
  char buffer[4096];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    text->append(buffer, (size_t)n);
    if (text->size() > 65536) return false;
  }
}

bool ReadKeyFile(const std::string& path, bool secret, std::string* text, std::string* error) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = path + ": " + strerror(errno);
    return false;
  }
  struct stat info;
  bool ok = fstat(fd, &info) == 0;
  if (!ok || !S_ISREG(info.st_mode)) {
    *error = path + ": not a regular file";
  } else if (secret && ((info.st_mode & 077) != 0 || info.st_uid != geteuid())) {
    // As ssh does with private keys: a secret others could read is no secret.
    *error = path + ": bad owner or permissions (must be the user's own, mode 0600)";
  } else if (!ReadAll(fd, text)) {
    *error = path + ": can't be read whole (or larger than 64 KB)";
  } else {
    close(fd);
    return true;
  }
  close(fd);
  return false;
}

bool WriteNewFile(const std::string& path, int mode, const std::string& text, std::string* error) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) {
    *error = path + ": " + strerror(errno);
    return false;
  }
  bool ok = write(fd, text.data(), text.size()) == (ssize_t)text.size();
  ok = close(fd) == 0 && ok;
  if (!ok) {
    *error = path + ": can't be written";
    unlink(path.c_str());
  }
  return ok;
}

}  // namespace

bool OrnaValidCurveKey(const std::string& text) {
  uint8_t bytes[32];
  return text.size() == kOrnaCurveKeyText && zmq_z85_decode(bytes, text.c_str()) != nullptr;
}

bool OrnaReadKeyPair(const std::string& path, OrnaCurveKeyPair* keys, std::string* error) {
  std::string text;
  if (!ReadKeyFile(path, true, &text, error)) return false;
  OrnaCurveKeyPair found;
  for (const KeyLine& line : Lines(text)) {
    std::string* slot = line.first == "public" ? &found.publicKey
                        : line.first == "secret" ? &found.secretKey : nullptr;
    if (slot == nullptr || !slot->empty() || !OrnaValidCurveKey(line.rest)) {
      *error = path + ": line " + std::to_string(line.number) +
               " is not one \"public KEY\" or \"secret KEY\"";
      return false;
    }
    *slot = line.rest;
  }
  char derived[kOrnaCurveKeyText + 1];
  if (found.publicKey.empty() || found.secretKey.empty() ||
      zmq_curve_public(derived, found.secretKey.c_str()) != 0 || found.publicKey != derived) {
    *error = path + ": needs a public and a secret key that belong together";
    return false;
  }
  *keys = found;
  return true;
}

bool OrnaReadPublicKeys(const std::string& path, std::vector<std::string>* keys,
                        std::string* error) {
  std::string text;
  if (!ReadKeyFile(path, false, &text, error)) return false;
  std::vector<std::string> found;
  for (const KeyLine& line : Lines(text)) {
    if (!OrnaValidCurveKey(line.first)) {
      *error = path + ": line " + std::to_string(line.number) + " is not a public key";
      return false;
    }
    found.push_back(line.first);
  }
  if (found.empty()) {
    *error = path + ": holds no key";
    return false;
  }
  *keys = found;
  return true;
}

bool OrnaWriteNewKeyPair(const std::string& prefix, const std::string& label,
                         std::string* error) {
  char publicKey[kOrnaCurveKeyText + 1], secretKey[kOrnaCurveKeyText + 1];
  if (zmq_curve_keypair(publicKey, secretKey) != 0) {
    *error = std::string("no key pair: ") + zmq_strerror(zmq_errno());
    return false;
  }
  std::string pair = std::string("# orna key pair: keep private\npublic ") + publicKey +
                     "\nsecret " + secretKey + "\n";
  if (!WriteNewFile(prefix + ".key", 0600, pair, error)) return false;
  if (!WriteNewFile(prefix + ".pub", 0644, std::string(publicKey) + " " + label + "\n", error)) {
    unlink((prefix + ".key").c_str());
    return false;
  }
  return true;
}
