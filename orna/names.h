// Where servers are found: the names directory (ORNA_NAMES_DIR, default
// $XDG_RUNTIME_DIR/orna-names or /tmp/orna-names-<uid>; on Windows
// %LOCALAPPDATA%\orna-names) holds one entry per running server,
// <dir>/<context>/<server>, with its endpoint and process id; the optional
// static names file (ORNA_NAMES_FILE) lists servers on other hosts, one
// "/context/server tcp://host:port" per line. The base port comes from ORNA_BASE_PORT
// (default 47000); a server listens on the base port + its port offset.
//
// The names directory is private: its folders are made 0700 and entries 0600 (on
// Windows they grant the user alone), and a folder or entry owned by another user (root,
// or on Windows the system and the administrators, excepted) or writable by group or
// others is not used, by servers nor clients, with a message on standard error.
//
// Any thread.
#pragma once

#include <string>
#include <vector>

constexpr int kOrnaDefaultBasePort = 47000;

// The base port; the default when ORNA_BASE_PORT is unset or not a port number.
int OrnaBasePort();
std::string OrnaNamesDirectory();

// Splits "/context/server/device" (device may be empty) or, when DEVICE is null,
// "/context/server". False for anything else.
bool OrnaParseAddress(const char* address, std::string* context, std::string* server,
                      std::string* device);

// Writes the entry of /context/server (through a temporary file and a rename). An entry
// published and not withdrawn is withdrawn when the process ends, at exit and at a
// console event that ends it (platform/process_end.h).
bool OrnaPublishServer(const std::string& context, const std::string& server,
                       const std::string& endpoint);
// Removes the entry written by this process, if it is still ours: never one that a
// newer server wrote over it, even while that happens.
void OrnaWithdrawServer(const std::string& context, const std::string& server);
// The endpoint of /context/server: from etcd when ORNA_NAMES_ETCD is set
// (orna/etcd_resolve.h), else from a live entry of the names directory, else from the
// static names file. False when neither has it (or the entry's process is gone);
// *gone (when given) then tells whether an entry was found whose process has ended:
// that server is not coming, where a missing entry may still be a server starting (an
// entry in etcd of this host whose process has ended counts the same).
bool OrnaResolveServer(const std::string& context, const std::string& server,
                       std::string* endpoint, bool* gone = nullptr);

// A server as the names directory or the names file lists it.
struct OrnaLocalName {
  std::string context, server, endpoint;
  long pid = 0;  // names directory only
};
// The live entries of the names directory (trusted ones, whose process runs), and the
// lines of the names file, of CONTEXT or of every context when it is empty.
void OrnaListNamesDirectory(const std::string& context, std::vector<OrnaLocalName>* names);
void OrnaListNamesFile(const std::string& context, std::vector<OrnaLocalName>* names);
