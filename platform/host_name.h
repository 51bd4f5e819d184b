// The name of this machine, as people and other machines know it, for the entries the
// library writes where servers of other hosts are listed (the names in etcd).
//
// Threading: any thread.
#pragma once

#include <string>

// The host name; false (and *name empty) when the system gives none.
bool SysHostName(std::string* name);
