// The executable's path as a test set it (sys_testing.h), which both builds'
// SysGetModuleFileName answer instead of the system's. Used only inside platform/.
//
// Threading: the path is set before any other thread runs and only read afterwards.
#pragma once

#include <cstddef>

// False when no test has set a path. Otherwise true, with *copied telling whether the
// path (with its terminating zero) fitted into the size bytes of buffer; buffer holds
// the path when it did and an empty text when it didn't.
bool ModuleFileNameOverridden(char* buffer, size_t size, bool* copied);
