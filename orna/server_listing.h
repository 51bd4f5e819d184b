// Every server a client of this host knows of: those in etcd (when ORNA_NAMES_ETCD is
// set), the live entries of the names directory and the lines of the names file, one
// record per /context/server with the endpoint a call would use (etcd's, then the
// directory's, then the file's) and what each source says. For `ornactl servers`.
//
// Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct OrnaKnownServer {
  std::string context, server;
  std::string endpoint;
  std::string host;      // the host's name when a source gives it (etcd, or this host)
  int64_t pid = 0;       // 0 when no source gives it
  int64_t started = 0;   // seconds since 1970 (etcd); 0 when unknown
  std::string version;   // etcd; empty when unknown
  bool inEtcd = false, inDirectory = false, inFile = false;
};

// The servers of CONTEXT (every context when empty), sorted by context and server.
// *etcdError says why etcd was not asked or did not answer (empty when it was, or is
// not used); the local sources are listed all the same.
void OrnaListServers(const std::string& context, std::vector<OrnaKnownServer>* servers,
                     std::string* etcdError);
