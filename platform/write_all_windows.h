// Writing a whole buffer to an open Windows file handle, going on after partial
// writes. Used only by the Windows files of platform/ (the POSIX twin is SysWriteAll in
// sys_posix.h).
//
// Threading: any thread; the handle is the caller's.
#pragma once

#include <windows.h>

#include <cstddef>

// True when all size bytes of data were written.
bool WindowsWriteAll(HANDLE file, const void* data, size_t size);
