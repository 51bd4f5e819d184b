#include "server/registration.h"

#include "base/exit_application.h"
#include "base/log.h"
#include "orna/orna_api.h"
#include "server/current_frame.h"
#include "server/module_context.h"
#include "server/query_records.h"

namespace {

// The largest property-record count the library reads from one answer of the query
// function: the longest run of the devices registered.
int MaxQueryRecords(bool withHardware) {
  size_t longest = 0;
  for (int number = 0; number < kDeviceCount; ++number) {
    const auto device = static_cast<DeviceNumber>(number);
    if (device == kDeviceHardwareControl && !withHardware) continue;
    const size_t count = RunOfDevice(device).count;
    if (count > longest) longest = count;
  }
  return static_cast<int>(longest);
}

}  // namespace

int RegisterProperty(const PropertyDefinition& definition) {
  int result = RegisterPropertyEx(ModuleName(), definition.name, definition.outSize,
                                  definition.outFormat,
                                  static_cast<unsigned char>(definition.access & 0xff),
                                  definition.description, definition.id);
  if (result < 0) {
    // The code as a positive number, negated in 64 bits so that INT_MIN comes out too.
    long long code = -static_cast<long long>(result);
    DoLog("Can't register property: <%s> (err=%lld)\n", definition.name, code);
    return 0;
  }
  return result;
}

bool RegisterAllProperties() {
  const DeviceNumber devices[] = {kDeviceServer, kDeviceSource, kDeviceOutput,
                                  kDeviceHardwareControl};
  bool withHardware = ModuleFrameSource().HasHardwareDevice();
  for (DeviceNumber device : devices) {
    if (device == kDeviceHardwareControl && !withHardware) break;
    DeviceRun run = RunOfDevice(device);
    for (size_t i = run.first; i < run.first + run.count; ++i) {
      if (RegisterProperty(PropertyTable[i]) == 0) return false;
    }
  }
  DoLog("Registered all properties successful.");
  return true;
}

int ModuleDeviceCount() {
  return ModuleFrameSource().HasHardwareDevice() ? kDeviceCount : kDeviceCount - 1;
}

void EquipmentModuleInit() {
  bool withHardware = ModuleFrameSource().HasHardwareDevice();
  FillAllQueryRecords(withHardware);

  if (RegisterXPropertyQueryFunction(ModuleName(), QueryDeviceProperties,
                                     MaxQueryRecords(withHardware)) != 0) {
    ExitApplication(kExitQueryRegistration);
    return;
  }
  for (int number = 0; number < ModuleDeviceCount(); ++number) {
    if (RegisterDeviceName(ModuleName(), kDeviceNames[number], number) != 0) {
      ExitApplication(kExitDeviceRegistration);
      return;
    }
  }
  if (!RegisterAllProperties()) {
    ExitApplication(kExitPropertyRegistration);
    return;
  }
  ClearCurrentFrame();
}
