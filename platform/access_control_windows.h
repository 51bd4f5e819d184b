// Windows only: what the private files and the shared memory of the platform layer need
// to judge an access list: the security identifier of the user the process runs as,
// and whether a list lets anyone else than those trusted do something.
//
// Threading: any thread; the user is read from the process token once.
#pragma once

#include <windows.h>

// Null when the process token can't be read.
PSID SysCurrentUserSid();

// Whether acl grants one of rights to anyone trusted doesn't accept. A null list
// grants everyone everything; entries only for what is made inside a folder don't
// count.
bool SysAclGrantsOthers(PACL acl, DWORD rights, bool (*trusted)(PSID sid));
