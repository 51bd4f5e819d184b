// What a server's entry in etcd holds and where it lies: the key
// /orna/names/CONTEXT/SERVER, and as its value a JSON object with the server's
// endpoint, host name, host identity (platform/shared_memory.h: two processes with the
// same one run on one machine), process id, start time (seconds since 1970) and
// version. The value is read from a cluster that others write too, so every field is
// checked before it is used.
//
// Any thread.
#pragma once

#include <cstdint>
#include <string>

constexpr const char* kEtcdNamesRoot = "/orna/names/";
// Longest endpoint and host name an entry may carry.
constexpr size_t kEtcdEntryTextLimit = 255;

struct EtcdNamesEntry {
  std::string endpoint;  // tcp://host:port
  std::string host;      // the host's name, for people
  std::string hostId;    // the host identity, for the library
  int64_t pid = 0;
  int64_t started = 0;
  std::string version;
};

std::string EtcdNamesKey(const std::string& context, const std::string& server);
// The prefix of every key of CONTEXT, or of every context when it is empty.
std::string EtcdNamesPrefix(const std::string& context);
// The context and server of a key under kEtcdNamesRoot; false for any other key.
bool EtcdNamesSplitKey(const std::string& key, std::string* context, std::string* server);

std::string EtcdEncodeEntry(const EtcdNamesEntry& entry);
// False when TEXT is not an entry: not JSON, an endpoint that is not tcp://host:port,
// a text too long, a process id of 0 or below.
bool EtcdDecodeEntry(const std::string& text, EtcdNamesEntry* entry);
