// Windows host name (host_name.h): the DNS host name of the computer.
#include <windows.h>

#include "platform/host_name.h"

bool SysHostName(std::string* name) {
  char buffer[256] = {};
  DWORD size = sizeof buffer;
  name->clear();
  if (!GetComputerNameExA(ComputerNameDnsHostname, buffer, &size) || size == 0) return false;
  name->assign(buffer, size);
  return true;
}
