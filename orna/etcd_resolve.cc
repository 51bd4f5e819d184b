#include "orna/etcd_resolve.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <set>

#include "orna/etcd_gateway.h"
#include "orna/orna_api.h"
#include "platform/annotated_mutex.h"
#include "platform/processes.h"
#include "platform/shared_memory.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kCacheLimit = 4096;

struct CachedName {
  bool known = false;
  EtcdNamesEntry entry;
  Clock::time_point fetched;
};

// Kept by the cluster's variable text as well as the name, so that another
// ORNA_NAMES_ETCD never answers from what an earlier one said.
struct EtcdCache {
  Mutex mutex;
  std::map<std::string, CachedName> names GUARDED_BY(mutex);
  std::map<std::string, Clock::time_point> quietUntil GUARDED_BY(mutex);  // by cluster
};

EtcdCache& Cache() {
  static EtcdCache* cache = new EtcdCache;  // never freed: clients may call at exit
  return *cache;
}

// Settings of the moment; a variable that can't be used is said once per text.
bool CurrentSettings(EtcdSettings* settings) {
  std::string error;
  if (EtcdSettingsFromEnvironment(settings, &error)) return true;
  if (!error.empty()) {
    static Mutex mutex;
    static std::set<std::string> told GUARDED_BY(mutex);
    MutexLock lock(mutex);
    if (told.insert(error).second) {
      fprintf(stderr, "orna: %s; etcd not used\n", error.c_str());
      feclog("%s; etcd not used", error.c_str());
    }
  }
  return false;
}

// Whether the entry is of this host and its process has ended.
bool EndedHere(const EtcdNamesEntry& entry) {
  static std::string here;
  static bool known = SysHostIdentity(&here);
  return known && entry.hostId == here && !SysProcessAlive(entry.pid);
}

EtcdLookup Answer(const CachedName& cached, std::string* endpoint) {
  if (!cached.known) return EtcdLookup::kUnknown;
  if (EndedHere(cached.entry)) return EtcdLookup::kGone;
  *endpoint = cached.entry.endpoint;
  return EtcdLookup::kFound;
}

}  // namespace

EtcdLookup OrnaEtcdResolve(const std::string& context, const std::string& server,
                           std::string* endpoint) {
  EtcdSettings settings;
  if (!CurrentSettings(&settings)) return EtcdLookup::kUnavailable;
  const std::string name = settings.text + "\n" + EtcdNamesKey(context, server);
  EtcdCache& cache = Cache();
  const Clock::time_point now = Clock::now();
  {
    MutexLock lock(cache.mutex);
    auto it = cache.names.find(name);
    auto quiet = cache.quietUntil.find(settings.text);
    bool etcdQuiet = quiet != cache.quietUntil.end() && now < quiet->second;
    if (it != cache.names.end()) {
      auto age = now - it->second.fetched;
      auto fresh = std::chrono::milliseconds(it->second.known ? kEtcdFoundCacheMs
                                                              : kEtcdUnknownCacheMs);
      if (age < fresh || (etcdQuiet && it->second.known)) return Answer(it->second, endpoint);
    }
    if (etcdQuiet) return EtcdLookup::kUnavailable;
  }
  EtcdGateway gateway(settings);
  std::vector<EtcdKeyValue> found;
  const std::string key = EtcdNamesKey(context, server);
  EtcdStatus status = gateway.Range(key, false, &found);
  MutexLock lock(cache.mutex);
  if (status != EtcdStatus::kOk) {
    cache.quietUntil[settings.text] = Clock::now() + std::chrono::milliseconds(kEtcdQuietMs);
    auto it = cache.names.find(name);
    if (it != cache.names.end() && it->second.known) return Answer(it->second, endpoint);
    return EtcdLookup::kUnavailable;
  }
  cache.quietUntil.erase(settings.text);
  if (cache.names.size() >= kCacheLimit) cache.names.clear();  // names asked once, long ago
  CachedName& cached = cache.names[name];
  cached.fetched = Clock::now();
  cached.known = found.size() == 1 && found[0].key == key &&
                 EtcdDecodeEntry(found[0].value, &cached.entry);
  return Answer(cached, endpoint);
}

bool OrnaEtcdList(const std::string& context, std::vector<EtcdListedServer>* servers,
                  std::string* error) {
  servers->clear();
  error->clear();
  EtcdSettings settings;
  if (!EtcdSettingsFromEnvironment(&settings, error)) return false;
  EtcdGateway gateway(settings);
  std::vector<EtcdKeyValue> found;
  if (gateway.Range(EtcdNamesPrefix(context), true, &found) != EtcdStatus::kOk) {
    *error = "no answer from etcd at " + settings.text;
    return false;
  }
  for (const EtcdKeyValue& kv : found) {
    EtcdListedServer listed;
    if (EtcdNamesSplitKey(kv.key, &listed.context, &listed.server) &&
        EtcdDecodeEntry(kv.value, &listed.entry))
      servers->push_back(std::move(listed));
  }
  return true;
}
