// Process identities, as the library's names directory records them: each entry names
// the process that published it, so that an entry left by a process that has ended is
// not taken as a running server.
//
// Threading: any thread.
#pragma once

#include <cstdint>

// The id of the calling process.
int64_t SysProcessId();

// Whether a process with the id runs now (also one of another user's, which can't be
// signalled or opened). False for ids of 0 and below.
bool SysProcessAlive(int64_t id);
