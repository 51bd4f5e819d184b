// What the POSIX implementations of the platform layer (sys_posix.cc,
// registry_posix.cc, private_files_posix.cc) share beyond their interfaces. Only those
// files include this; everything above the platform layer stays with the interfaces.
//
// Threading: any thread.
#pragma once

#include <cstddef>

// Writes all size bytes of data to the open file descriptor fd, going on after partial
// writes and interrupted calls. False when a write fails; errno then tells why.
bool SysWriteAll(int fd, const void* data, size_t size);
