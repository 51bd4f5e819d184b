// A server's entry in etcd (when ORNA_NAMES_ETCD is set): put under a lease at the
// registration of its module, only where no live server of another process holds the
// name, kept alive by a thread of the library, put again when etcd comes back after an
// outage, and deleted (its lease revoked) at a normal end. The server thread never
// waits on etcd beyond the first answer, at most kEtcdFirstAnswerMs.
//
// An entry of the same host whose process has ended (a crashed server starting again)
// is taken over at once; any other is left to run out with its lease.
//
// Threading: OrnaEtcdRegister on the main thread; OrnaEtcdWithdraw on the main thread
// or the thread that ends the process (it is also run at the process's end).
#pragma once

#include <string>

constexpr int kEtcdFirstAnswerMs = 2000;

// Starts keeping the entry of /context/server at ENDPOINT. ORNA_OK when etcd is not
// used, when the entry is put, and when etcd did not answer in time (the thread goes
// on trying; one remark in the library log). ORNA_NAME_TAKEN when a live server of
// another process holds the name (said on standard error and in the library log);
// nothing is kept then.
int OrnaEtcdRegister(const std::string& context, const std::string& server,
                     const std::string& endpoint);
// Stops the thread and revokes the lease; bounded by the gateway's time-outs and
// kEtcdRevokeMs. Does nothing when nothing is kept.
void OrnaEtcdWithdraw();

constexpr int kEtcdRevokeMs = 1500;
