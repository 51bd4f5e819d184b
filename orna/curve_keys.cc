#include "orna/curve_keys.h"

#include <zmq.h>

#include <cstdio>
#include <cstring>

#include "platform/private_files.h"

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

constexpr size_t kLargestKeyFile = 65536;

// Reads a key file whole. Every key file must be the user's own (or the system's) and
// writable by nobody else, as ssh asks of its files: whoever could change a list of
// clients or a server key could let themselves in or stand in for the server. A secret
// key must also be unreadable by others.
bool ReadKeyFile(const std::string& path, bool secret, std::string* text, std::string* error) {
  std::vector<char> buffer(kLargestKeyFile + 1);
  size_t length = 0;
  SysEntryInfo info;
  if (!SysReadPrivateFile(path.c_str(), buffer.data(), buffer.size(), &length, &info)) {
    *error = path + (info.kind == kSysNoEntry ? ": can't be opened" : ": not a regular file");
    return false;
  }
  if (info.privacy != kSysPrivate || (secret && info.readableByOthers)) {
    *error = path + ": bad owner or permissions (must be the user's own and " +
             (secret ? "mode 0600)" : "writable by nobody else)");
    return false;
  }
  if (length >= kLargestKeyFile) {
    *error = path + ": larger than 64 KB";
    return false;
  }
  text->assign(buffer.data(), length);
  return true;
}

bool WriteNewFile(const std::string& path, const std::string& text, std::string* error) {
  SysEntryInfo info;
  if (SysInspectEntry(path.c_str(), &info)) {
    *error = path + ": exists already";
    return false;
  }
  if (!SysWritePrivateFile(path.c_str(), text.data(), text.size())) {
    *error = path + ": can't be written";
    return false;
  }
  return true;
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
  if (!WriteNewFile(prefix + ".key", pair, error)) return false;
  if (!WriteNewFile(prefix + ".pub", std::string(publicKey) + " " + label + "\n", error)) {
    remove((prefix + ".key").c_str());
    return false;
  }
  return true;
}
