#include "server/device_selection.h"

#include <strings.h>

#include <cstring>

namespace {

// True when name begins with known, letters compared without regard to case.
bool BeginsWith(const char* name, const char* known) {
  return strncasecmp(name, known, strlen(known)) == 0;
}

}  // namespace

DeviceNumber SelectDevice(const char* device) {
  DeviceNumber selected = kDeviceServer;
  if (device == nullptr) return selected;
  if (BeginsWith(device, kDeviceNames[kDeviceSource])) selected = kDeviceSource;
  if (BeginsWith(device, kDeviceNames[kDeviceOutput])) selected = kDeviceOutput;
  if (BeginsWith(device, kDeviceNames[kDeviceHardwareControl])) selected = kDeviceHardwareControl;
  return selected;
}

uint16_t LookupPropertyId(const char* device, const char* property) {
  if (property == nullptr) return kPropertyNone;
  DeviceRun run = RunOfDevice(SelectDevice(device));
  for (size_t i = run.first; i < run.first + run.count; ++i) {
    const PropertyDefinition& row = PropertyTable[i];
    if (strncmp(row.name, property, sizeof row.name) == 0 && strlen(property) < sizeof row.name)
      return row.id;
  }
  return kPropertyNone;
}
