#include "server/device_selection.h"

#include <cstring>

#include "base/device_name_rule.h"

DeviceNumber SelectDevice(const char* device) {
  DeviceNumber selected = kDeviceServer;
  if (device == nullptr) return selected;
  if (DeviceNameSelects(device, kDeviceNames[kDeviceSource])) selected = kDeviceSource;
  if (DeviceNameSelects(device, kDeviceNames[kDeviceOutput])) selected = kDeviceOutput;
  if (DeviceNameSelects(device, kDeviceNames[kDeviceHardwareControl])) selected = kDeviceHardwareControl;
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
