// Windows only: the security identifier of the user the process runs as, which the
// private files and the shared memory of the platform layer grant access to and check
// owners against.
//
// Threading: any thread; read from the process token once.
#pragma once

#include <windows.h>

// Null when the process token can't be read.
PSID SysCurrentUserSid();
