// Clients finding servers through etcd (when ORNA_NAMES_ETCD is set), with a short
// cache so that a call does not pay a lookup each time: an entry found is used for
// kEtcdFoundCacheMs, a name etcd doesn't know is not asked again for
// kEtcdUnknownCacheMs, and after etcd failed to answer it is not asked for
// kEtcdQuietMs, the cache answering meanwhile whatever the age of its entries.
//
// Any thread; the cache has its own lock, never held while etcd is asked.
#pragma once

#include <string>
#include <vector>

#include "orna/etcd_names_entry.h"

constexpr int kEtcdFoundCacheMs = 1000;
constexpr int kEtcdUnknownCacheMs = 200;
constexpr int kEtcdQuietMs = 1000;

enum class EtcdLookup {
  kFound,
  kUnknown,      // etcd has no live entry of the name
  kGone,         // etcd's entry is of this host and its process has ended
  kUnavailable,  // etcd is not used, or did not answer and the cache has nothing
};

EtcdLookup OrnaEtcdResolve(const std::string& context, const std::string& server,
                           std::string* endpoint);

// Every entry of CONTEXT (every context when empty), asked without the cache; false
// when etcd is not used or did not answer (*error says which, empty when not used).
struct EtcdListedServer {
  std::string context, server;
  EtcdNamesEntry entry;
};
bool OrnaEtcdList(const std::string& context, std::vector<EtcdListedServer>* servers,
                  std::string* error);
