#include "orna/server_listing.h"

#include <map>
#include <utility>

#include "orna/etcd_resolve.h"
#include "orna/names.h"
#include "platform/host_name.h"

void OrnaListServers(const std::string& context, std::vector<OrnaKnownServer>* servers,
                     std::string* etcdError) {
  servers->clear();
  std::map<std::pair<std::string, std::string>, OrnaKnownServer> known;
  auto record = [&known](const std::string& context, const std::string& server) -> auto& {
    OrnaKnownServer& entry = known[{context, server}];
    entry.context = context;
    entry.server = server;
    return entry;
  };
  // The sources from the last asked to the first, each overwriting the endpoint, so
  // that the one a call would use stays.
  std::vector<OrnaLocalName> local;
  OrnaListNamesFile(context, &local);
  for (const OrnaLocalName& name : local) {
    OrnaKnownServer& entry = record(name.context, name.server);
    entry.endpoint = name.endpoint;
    entry.inFile = true;
  }
  std::string here;
  SysHostName(&here);
  OrnaListNamesDirectory(context, &local);
  for (const OrnaLocalName& name : local) {
    OrnaKnownServer& entry = record(name.context, name.server);
    entry.endpoint = name.endpoint;
    entry.host = here;
    entry.pid = name.pid;
    entry.inDirectory = true;
  }
  std::vector<EtcdListedServer> listed;
  OrnaEtcdList(context, &listed, etcdError);
  for (const EtcdListedServer& server : listed) {
    OrnaKnownServer& entry = record(server.context, server.server);
    entry.endpoint = server.entry.endpoint;
    entry.host = server.entry.host;
    entry.pid = server.entry.pid;
    entry.started = server.entry.started;
    entry.version = server.entry.version;
    entry.inEtcd = true;
  }
  for (auto& [name, entry] : known) servers->push_back(std::move(entry));
}
