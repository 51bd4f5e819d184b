#include "orna/names.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "orna/etcd_resolve.h"
#include "orna/orna_api.h"
#include "platform/annotated_mutex.h"
#include "platform/folder_listing.h"
#include "platform/private_files.h"
#include "platform/process_end.h"
#include "platform/processes.h"
#include "platform/sys.h"

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
  return SysUserRuntimeFolder("orna-names");
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

// The name an Encode()d file name stands for; false for a file name Encode never makes.
bool Decode(const std::string& fileName, std::string* name) {
  name->clear();
  for (size_t i = 0; i < fileName.size(); ++i) {
    if (fileName[i] != '%') {
      *name += fileName[i];
      continue;
    }
    unsigned value = 0;
    if (i + 2 >= fileName.size() || sscanf(fileName.c_str() + i + 1, "%2X", &value) != 1 ||
        !isxdigit((unsigned char)fileName[i + 1]) || !isxdigit((unsigned char)fileName[i + 2]))
      return false;
    *name += (char)value;
    i += 2;
  }
  return !name->empty() && Encode(*name) == fileName;
}

std::string EntryPath(const std::string& context, const std::string& server) {
  return OrnaNamesDirectory() + kSysPathSeparator + Encode(context) + kSysPathSeparator +
         Encode(server);
}

// The folder of an entry (or of a folder).
std::string FolderOf(const std::string& path) {
  return path.substr(0, path.rfind(kSysPathSeparator));
}

// Says once per process and path why a names folder or entry is not trusted, the way
// ssh reports files it won't use.
void RefuseOnce(const std::string& path, const char* why) {
  static Mutex mutex;
  static std::set<std::string> told GUARDED_BY(mutex);
  MutexLock lock(mutex);
  if (!told.insert(path).second) return;
  fprintf(stderr, "orna: bad owner or permissions on %s: %s; not used\n", path.c_str(), why);
  feclog("bad owner or permissions on %s: %s; not used", path.c_str(), why);
}

// Whether a names folder or entry may be trusted: owned by this user (or by the
// system) and writable by nobody else. Anyone else who could write it could point
// clients at a server of their own.
bool Trusted(const std::string& path, const SysEntryInfo& info) {
  switch (info.privacy) {
    case kSysForeignOwner:
      RefuseOnce(path, "owned by another user");
      return false;
    case kSysWritableByOthers:
      RefuseOnce(path, "writable by others");
      return false;
    case kSysPrivate:
      break;
  }
  return true;
}

bool TrustedPath(const std::string& path) {
  SysEntryInfo info;
  return SysInspectEntry(path.c_str(), &info) && Trusted(path, info);
}

// The names directory and the folders below it down to PATH, made private where they
// are missing; false when one can't be made or isn't trusted. Folders above the names
// directory (such as /tmp) are the system's and not looked at.
bool MakeDirectories(const std::string& path) {
  const std::string root = OrnaNamesDirectory();
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == kSysPathSeparator) {
      std::string part = path.substr(0, i);
      if (!SysMakePrivateFolder(part.c_str())) return false;
      if (part.size() >= root.size() && !TrustedPath(part)) return false;
    }
  }
  return true;
}

// Reads "endpoint\npid\n" from an entry that, with its folders, is trusted.
bool ReadEntry(const std::string& path, std::string* endpoint, long* pid) {
  if (!TrustedPath(OrnaNamesDirectory()) || !TrustedPath(FolderOf(path))) return false;
  char text[600];
  size_t length = 0;
  SysEntryInfo info;
  bool read = SysReadPrivateFile(path.c_str(), text, sizeof text, &length, &info);
  // A link or anything else than a file in the entry's place is passed over quietly.
  if (info.kind != kSysRegularFile || !Trusted(path, info) || !read) return false;
  char* lineEnd = strchr(text, '\n');
  if (lineEnd == nullptr) return false;
  *lineEnd = '\0';
  const char* pidText = lineEnd + 1;
  text[strcspn(text, "\r")] = '\0';
  char* end = nullptr;
  *pid = strtol(pidText, &end, 10);
  if (text[0] == '\0' || end == pidText) return false;
  *endpoint = text;
  return true;
}

// Entries as last read, by path: a call re-reads an entry only when its file changed,
// which saves an open, a read and a close on every call.
struct CachedEntry {
  uint64_t stamp[4] = {};
  std::string endpoint;
  long pid = 0;
};

bool ReadEntryCached(const std::string& path, std::string* endpoint, long* pid) {
  static Mutex mutex;
  static std::map<std::string, CachedEntry> cache GUARDED_BY(mutex);
  SysEntryInfo info;
  MutexLock lock(mutex);
  // Trust is looked at on every call (owner and rights may change without the entry's
  // contents changing); only the reading of a trusted entry is saved.
  if (!SysInspectEntry(path.c_str(), &info) || !TrustedPath(OrnaNamesDirectory()) ||
      !TrustedPath(FolderOf(path)) || info.kind != kSysRegularFile || !Trusted(path, info)) {
    cache.erase(path);
    return false;
  }
  auto it = cache.find(path);
  if (it != cache.end() && memcmp(it->second.stamp, info.stamp, sizeof info.stamp) == 0) {
    *endpoint = it->second.endpoint;
    *pid = it->second.pid;
    return true;
  }
  if (!ReadEntry(path, endpoint, pid)) return false;
  CachedEntry& cached = cache[path];
  memcpy(cached.stamp, info.stamp, sizeof info.stamp);
  cached.endpoint = *endpoint;
  cached.pid = *pid;
  return true;
}

// Calls SEEN with each "/context/server tcp://host:port" line of the names file until
// it answers true; false when there is no names file.
template <typename Seen>
bool ReadNamesFile(Seen seen) {
  const char* file = getenv("ORNA_NAMES_FILE");
  if (file == nullptr || *file == '\0') return false;
  FILE* f = fopen(file, "r");
  if (f == nullptr) return false;
  char line[1024];
  bool done = false;
  while (!done && fgets(line, sizeof line, f) != nullptr) {
    char name[512], address[512];
    if (line[0] == '#' || sscanf(line, "%511s %511s", name, address) != 2) continue;
    done = seen(name, address);
  }
  fclose(f);
  return true;
}

bool ResolveFromFile(const std::string& context, const std::string& server,
                     std::string* endpoint) {
  std::string wanted = "/" + context + "/" + server;
  bool found = false;
  ReadNamesFile([&](const char* name, const char* address) {
    if (wanted == name) {
      *endpoint = address;
      found = true;
    }
    return found;
  });
  return found;
}

// The entries this process published and has not withdrawn, by path, so that they can
// be withdrawn however the process ends. Never freed: the process-end hook may run
// while static objects are being torn down at exit.
struct PublishedEntries {
  Mutex mutex;
  std::set<std::string> paths GUARDED_BY(mutex);
  bool ending GUARDED_BY(mutex) = false;  // set by the process-end hook
};

PublishedEntries& Published() {
  static PublishedEntries* published = new PublishedEntries;
  return *published;
}

// Whether path is there and the user's own, asked without a message: the exit hook
// mustn't use RefuseOnce's set, which may already be gone by then.
bool QuietlyTrusted(const std::string& path) {
  SysEntryInfo info;
  return SysInspectEntry(path.c_str(), &info) && info.privacy == kSysPrivate;
}

// Removes the entry at path if this process wrote it. Another server may take the name
// at any moment (a newer one, publishing by renaming its entry over the path), so the
// entry is first moved aside in one step, then judged: ours is deleted, anyone else's
// is put back unless an even newer entry has taken the place meanwhile. Clients that
// look in between find no entry and look again.
void WithdrawEntry(const std::string& path) {
  const std::string folder = FolderOf(path);
  if (!QuietlyTrusted(FolderOf(folder)) || !QuietlyTrusted(folder)) return;
  // A leading '.' is never part of an entry's name (Encode), so this name is no entry.
  const std::string aside = folder + kSysPathSeparator + ".withdrawn." +
                            std::to_string(SysProcessId()) + "." +
                            path.substr(folder.size() + 1);
  if (!SysRenameFile(path.c_str(), aside.c_str())) return;  // no entry there
  char text[600];
  size_t length = 0;
  SysEntryInfo info;
  bool ours = false;
  if (SysReadPrivateFile(aside.c_str(), text, sizeof text, &length, &info) &&
      info.kind == kSysRegularFile) {
    const char* lineEnd = strchr(text, '\n');
    ours = lineEnd != nullptr && strtoll(lineEnd + 1, nullptr, 10) == SysProcessId();
  }
  if (ours || !SysRenameFileIfAbsent(aside.c_str(), path.c_str())) remove(aside.c_str());
}

// The process-end hook: withdraws what is still published.
void WithdrawAllAtEnd() {
  PublishedEntries& published = Published();
  MutexLock lock(published.mutex);
  published.ending = true;  // nothing is published after this
  for (const std::string& path : published.paths) WithdrawEntry(path);
  published.paths.clear();
}

}  // namespace

bool OrnaPublishServer(const std::string& context, const std::string& server,
                       const std::string& endpoint) {
  std::string path = EntryPath(context, server);
  if (!MakeDirectories(FolderOf(path))) return false;
  // Before the list's lock is taken: the hook runs under the process-end lock and then
  // takes the list's, so taking them the other way round here could deadlock.
  // False when the process is already ending (a console event came before the first
  // publication): no entry then, as none could be withdrawn.
  static std::once_flag hookOnce;
  static bool hooked = false;  // written once, under hookOnce
  std::call_once(hookOnce, [] { hooked = SysAtProcessEnd(WithdrawAllAtEnd); });
  PublishedEntries& published = Published();
  // Held across the write, so that an end coming meanwhile (a console event on its own
  // thread) withdraws the entry once it is written, or finds the process ending first.
  MutexLock lock(published.mutex);
  if (!hooked || published.ending) return false;
  std::string text = endpoint + "\n" + std::to_string(SysProcessId()) + "\n";
  if (!SysWritePrivateFile(path.c_str(), text.data(), text.size())) return false;
  published.paths.insert(path);
  return true;
}

void OrnaWithdrawServer(const std::string& context, const std::string& server) {
  std::string path = EntryPath(context, server);
  PublishedEntries& published = Published();
  MutexLock lock(published.mutex);
  published.paths.erase(path);
  WithdrawEntry(path);
}

bool OrnaResolveServer(const std::string& context, const std::string& server,
                       std::string* endpoint, bool* gone) {
  if (gone != nullptr) *gone = false;
  const EtcdLookup etcd = OrnaEtcdResolve(context, server, endpoint);
  if (etcd == EtcdLookup::kFound) return true;
  long pid = 0;
  bool entry = ReadEntryCached(EntryPath(context, server), endpoint, &pid);
  if (entry && SysProcessAlive(pid)) return true;
  if (ResolveFromFile(context, server, endpoint)) return true;
  // The directory holds entries of this host's processes only, so its process having
  // ended means the server has.
  if (gone != nullptr) *gone = entry || etcd == EtcdLookup::kGone;
  return false;
}

void OrnaListNamesDirectory(const std::string& context, std::vector<OrnaLocalName>* names) {
  names->clear();
  const std::string root = OrnaNamesDirectory();
  std::vector<std::string> contexts;
  if (context.empty()) {
    if (!TrustedPath(root) || !SysListFolder(root.c_str(), &contexts)) return;
  } else {
    contexts.push_back(Encode(context));
  }
  for (const std::string& contextFile : contexts) {
    OrnaLocalName name;
    std::vector<std::string> servers;
    const std::string folder = root + kSysPathSeparator + contextFile;
    if (!Decode(contextFile, &name.context) || !SysListFolder(folder.c_str(), &servers))
      continue;
    for (const std::string& serverFile : servers) {
      if (!Decode(serverFile, &name.server)) continue;  // withdrawn entries and strangers
      if (ReadEntryCached(EntryPath(name.context, name.server), &name.endpoint, &name.pid) &&
          SysProcessAlive(name.pid))
        names->push_back(name);
    }
  }
}

void OrnaListNamesFile(const std::string& context, std::vector<OrnaLocalName>* names) {
  names->clear();
  ReadNamesFile([&](const char* address, const char* endpoint) {
    OrnaLocalName name;
    if (OrnaParseAddress(address, &name.context, &name.server, nullptr) &&
        (context.empty() || context == name.context)) {
      name.endpoint = endpoint;
      names->push_back(name);
    }
    return false;
  });
}
