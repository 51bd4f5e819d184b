#include "base/device_name_rule.h"

#include <strings.h>

#include <cstring>

bool DeviceNameSelects(const char* device, const char* registered) {
  if (device == nullptr) return false;
  return strncasecmp(device, registered, strlen(registered)) == 0;
}
