// A wake signal: one thread raises it, another sleeps in a poll of its sockets until it
// is raised. The library's server cycle waits on its router socket and on this signal,
// which the grab thread raises for every frame: it costs one system call to raise and
// one to clear, where a message through an in-process ZeroMQ socket costs several on
// each side (and more on every poll that looks at that socket).
//
// POSIX (Linux): an eventfd. Windows: a UDP socket on the loopback that sends to
// itself, since a poll of ZeroMQ items takes only sockets there.
//
// Threading: any thread raises; one thread polls and clears. Ownership: the creator
// owns the signal until SysCloseWakeSignal.
#pragma once

#include <cstdint>

struct SysWakeSignal;

// Null when it can't be made.
SysWakeSignal* SysCreateWakeSignal();
// Makes the handle readable until the next clear. Raising it twice is raising it once.
void SysRaiseWakeSignal(SysWakeSignal* signal);
// Makes the handle unreadable again (takes whatever the raises left in it).
void SysClearWakeSignal(SysWakeSignal* signal);
// What a poll waits on for POLLIN: a file descriptor (POSIX) or a SOCKET (Windows), as
// ZeroMQ's zmq_pollitem_t.fd takes it.
uint64_t SysWakeSignalHandle(const SysWakeSignal* signal);
void SysCloseWakeSignal(SysWakeSignal* signal);
