// What the POSIX implementations of the platform layer (sys_posix.cc,
// registry_posix.cc) share beyond sys.h. Only those files include this; the rest of
// the server stays with sys.h and registry.h.
//
// Threading: any thread.
#pragma once

#include <cstddef>

// Writes all size bytes of data to the open file descriptor fd, going on after partial
// writes and interrupted calls. False when a write fails; errno then tells why.
bool SysWriteAll(int fd, const void* data, size_t size);
