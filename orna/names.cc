#include "orna/names.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "orna/orna_api.h"

int OrnaBasePort() {
  const char* text = getenv("ORNA_BASE_PORT");
  if (text == nullptr || *text == '\0') return kOrnaDefaultBasePort;
  char* end = nullptr;
  long port = strtol(text, &end, 10);
  if (*end != '\0' || port < 1 || port > 65535) return kOrnaDefaultBasePort;
  return (int)port;
}

std::string OrnaNamesDirectory() {
  const char* dir = getenv("ORNA_NAMES_DIR");
  if (dir != nullptr && *dir != '\0') return dir;
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0') return std::string(runtime) + "/orna-names";
  return "/tmp/orna-names-" + std::to_string(getuid());
}

bool OrnaParseAddress(const char* address, std::string* context, std::string* server,
                      std::string* device) {
  if (address == nullptr || address[0] != '/') return false;
  std::string parts[3];
  int count = 0;
  for (const char* p = address + 1;; ++p) {
    if (*p == '/' || *p == '\0') {
      ++count;
      if (*p == '\0') break;
      if (count == 3) return false;  // too many parts
      continue;
    }
    parts[count] += *p;
  }
  if (count != (device != nullptr ? 3 : 2)) return false;
  if (parts[0].empty() || parts[1].empty()) return false;
  *context = parts[0];
  *server = parts[1];
  if (device != nullptr) *device = parts[2];
  return true;
}

namespace {

// File-name form of a context or server name: characters other than letters, digits,
// '-' and '_' (and a leading '.') are written as %XX, so any name is safe as a path.
std::string Encode(const std::string& name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = (unsigned char)name[i];
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '_' || (c == '.' && i > 0);
    if (plain) {
      out += (char)c;
    } else {
      char hex[4];
      snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string EntryPath(const std::string& context, const std::string& server) {
  return OrnaNamesDirectory() + "/" + Encode(context) + "/" + Encode(server);
}

// Says once per process and path why a names folder or entry is not trusted, the way
// ssh reports files it won't use.
void RefuseOnce(const std::string& path, const char* why) {
  static std::mutex mutex;
  static std::set<std::string> told;  // guarded by mutex
  std::lock_guard<std::mutex> lock(mutex);
  if (!told.insert(path).second) return;
  fprintf(stderr, "orna: bad owner or permissions on %s: %s; not used\n", path.c_str(), why);
  feclog("bad owner or permissions on %s: %s; not used", path.c_str(), why);
}

// Whether a names folder or entry may be trusted: owned by this user (or by root) and
// writable by nobody else. Anyone else who could write it could point clients at a
// server of their own.
bool Trusted(const std::string& path, const struct stat& info) {
  if (info.st_uid != geteuid() && info.st_uid != 0) {
    RefuseOnce(path, "owned by another user");
    return false;
  }
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    RefuseOnce(path, "writable by others");
    return false;
  }
  return true;
}

bool TrustedPath(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 && Trusted(path, info);
}

// The names directory and the folders below it down to PATH, made private (0700) where
// they are missing; false when one can't be made or isn't trusted. Folders above the
// names directory (such as /tmp) are the system's and not looked at.
bool MakeDirectories(const std::string& path) {
  const std::string root = OrnaNamesDirectory();
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      std::string part = path.substr(0, i);
      if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
      if (part.size() >= root.size() && !TrustedPath(part)) return false;
    }
  }
  return true;
}

// Reads "endpoint\npid\n" from an entry that, with its folders, is trusted.
bool ReadEntry(const std::string& path, std::string* endpoint, long* pid) {
  const std::string contextDir = path.substr(0, path.rfind('/'));
  if (!TrustedPath(OrnaNamesDirectory()) || !TrustedPath(contextDir)) return false;
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !Trusted(path, info)) {
    close(fd);
    return false;
  }
  FILE* f = fdopen(fd, "r");
  if (f == nullptr) {
    close(fd);
    return false;
  }
  char line[512] = {};
  char pidText[64] = {};
  bool ok = fgets(line, sizeof line, f) != nullptr && fgets(pidText, sizeof pidText, f) != nullptr;
  fclose(f);
  if (!ok) return false;
  line[strcspn(line, "\r\n")] = '\0';
  char* end = nullptr;
  *pid = strtol(pidText, &end, 10);
  if (line[0] == '\0' || end == pidText) return false;
  *endpoint = line;
  return true;
}

// Entries as last read, by path: a call re-reads an entry only when its file changed,
// which saves an open, a read and a close on every call.
struct CachedEntry {
  dev_t device = 0;
  ino_t inode = 0;
  timespec modified{};
  off_t size = 0;
  std::string endpoint;
  long pid = 0;
};

bool ReadEntryCached(const std::string& path, std::string* endpoint, long* pid) {
  static std::mutex mutex;
  static std::map<std::string, CachedEntry> cache;  // guarded by mutex
  struct stat info;
  std::lock_guard<std::mutex> lock(mutex);
  // Trust is looked at on every call (owner and mode may change without the entry's
  // contents changing); only the reading of a trusted entry is saved.
  if (lstat(path.c_str(), &info) != 0 || !TrustedPath(OrnaNamesDirectory()) ||
      !TrustedPath(path.substr(0, path.rfind('/'))) || !S_ISREG(info.st_mode) ||
      !Trusted(path, info)) {
    cache.erase(path);
    return false;
  }
  auto it = cache.find(path);
  if (it != cache.end() && it->second.device == info.st_dev && it->second.inode == info.st_ino &&
      it->second.size == info.st_size && it->second.modified.tv_sec == info.st_mtim.tv_sec &&
      it->second.modified.tv_nsec == info.st_mtim.tv_nsec) {
    *endpoint = it->second.endpoint;
    *pid = it->second.pid;
    return true;
  }
  if (!ReadEntry(path, endpoint, pid)) return false;
  cache[path] = {info.st_dev, info.st_ino, info.st_mtim, info.st_size, *endpoint, *pid};
  return true;
}

bool ProcessAlive(long pid) { return pid > 0 && (kill((pid_t)pid, 0) == 0 || errno == EPERM); }

bool ResolveFromFile(const std::string& context, const std::string& server,
                     std::string* endpoint) {
  const char* file = getenv("ORNA_NAMES_FILE");
  if (file == nullptr || *file == '\0') return false;
  FILE* f = fopen(file, "r");
  if (f == nullptr) return false;
  std::string wanted = "/" + context + "/" + server;
  char line[1024];
  bool found = false;
  while (!found && fgets(line, sizeof line, f) != nullptr) {
    char name[512], address[512];
    if (line[0] == '#' || sscanf(line, "%511s %511s", name, address) != 2) continue;
    if (wanted == name) {
      *endpoint = address;
      found = true;
    }
  }
  fclose(f);
  return found;
}

}  // namespace

bool OrnaPublishServer(const std::string& context, const std::string& server,
                       const std::string& endpoint) {
  std::string path = EntryPath(context, server);
  if (!MakeDirectories(path.substr(0, path.rfind('/')))) return false;
  std::string temp = path + ".tmp." + std::to_string(getpid());
  unlink(temp.c_str());  // a stale one of an earlier process with this id
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  FILE* f = fdopen(fd, "w");
  if (f == nullptr) {
    close(fd);
    unlink(temp.c_str());
    return false;
  }
  fprintf(f, "%s\n%ld\n", endpoint.c_str(), (long)getpid());
  bool ok = fclose(f) == 0 && rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

void OrnaWithdrawServer(const std::string& context, const std::string& server) {
  std::string path = EntryPath(context, server);
  std::string endpoint;
  long pid = 0;
  if (ReadEntry(path, &endpoint, &pid) && pid == (long)getpid()) unlink(path.c_str());
}

bool OrnaResolveServer(const std::string& context, const std::string& server,
                       std::string* endpoint) {
  long pid = 0;
  if (ReadEntryCached(EntryPath(context, server), endpoint, &pid) && ProcessAlive(pid)) return true;
  return ResolveFromFile(context, server, endpoint);
}
