// The names in a folder, for listings of what the library's names directory holds
// (`ornactl servers`). Names only, "." and ".." left out, in no particular order; the
// caller looks at each entry itself (private_files.h) before it trusts it.
//
// Threading: any thread.
#pragma once

#include <string>
#include <vector>

// False (and *names empty) when PATH is not a folder that can be read.
bool SysListFolder(const char* path, std::vector<std::string>* names);
