// Registration of the front end, the equipment module, its devices and properties,
// and the completion text of the call being served. Main thread only.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "orna/etcd_registration.h"
#include "orna/names.h"
#include "orna/orna_client.h"
#include "orna/server_state.h"
#include "orna/wire.h"

const char* gPortOffsetText = nullptr;

namespace {

bool ValidName(const char* name) {
  return name != nullptr && name[0] != '\0' && strlen(name) < orna_wire::kNameSize;
}

// Whether MODULE names the registered module; the code to answer otherwise.
int CheckModule(const char* module) {
  // The name is recorded before the module's init function runs, so registrations
  // made from inside it pass.
  const std::string& registered = Server().moduleName;
  if (registered.empty() || module == nullptr || registered != module) return ORNA_NOT_REGISTERED;
  return ORNA_OK;
}

std::string Text(const char* text) { return text != nullptr ? text : ""; }

// The configured port offset as a message may quote it: gPortOffsetText without its
// surrounding blanks, cut to 40 characters, anything but printable ASCII shown as '?'
// (the settings file is input like any other); the number when there is no text.
std::string QuotedPortOffset(int portOffset) {
  const char* text = gPortOffsetText != nullptr ? gPortOffsetText : "";
  while (*text == ' ' || *text == '\t' || *text == '\r' || *text == '\n') ++text;
  size_t length = strnlen(text, 40);
  while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\t' ||
                        text[length - 1] == '\r' || text[length - 1] == '\n'))
    --length;
  if (length == 0) return std::to_string(portOffset);
  std::string quoted(text, length);
  for (char& c : quoted)
    if (c < 0x20 || c > 0x7e) c = '?';
  return quoted;
}

}  // namespace

int RegisterFecInformation(const char* name, const char* subsystem, const char* context,
                           const char* description, const char* location,
                           const char* hardware, const char* responsible, int portOffset) {
  OrnaServer& s = Server();
  if (s.initialized) return ORNA_ALREADY_REGISTERED;
  if (!ValidName(name) || !ValidName(context)) return ORNA_INVALID_ARGUMENT;
  // In 64 bits: an offset near the largest int would wrap around in 32.
  const long long port = (long long)OrnaBasePort() + portOffset;
  if (portOffset < 0 || port > 65535) {
    const std::string quoted = QuotedPortOffset(portOffset);
    fprintf(stderr,
            "orna: port offset %s refused: the server's port, base port %d + offset, must lie "
            "within 1-65535\n",
            quoted.c_str(), OrnaBasePort());
    fflush(stderr);
    feclog("port offset %s puts the server's port outside 1-65535 (base port %d)",
           quoted.c_str(), OrnaBasePort());
    return ORNA_INVALID_ARGUMENT;
  }
  s.fecName = name;
  s.subsystem = Text(subsystem);
  s.context = context;
  s.description = Text(description);
  s.location = Text(location);
  s.hardware = Text(hardware);
  s.responsible = Text(responsible);
  s.portOffset = portOffset;
  s.fecRegistered = true;
  return ORNA_OK;
}

int RegisterEquipmentModule(const char* serverName, const char* moduleName, int deviceCount,
                            OrnaEquipmentFunction equipmentFunction,
                            OrnaInitFunction initFunction,
                            OrnaBackgroundFunction backgroundFunction, int intervalMs,
                            OrnaExitFunction exitFunction) {
  OrnaServer& s = Server();
  if (!s.fecRegistered) return ORNA_NOT_REGISTERED;
  if (!s.initialized) return ORNA_NOT_INITIALIZED;
  if (s.moduleRegistered) return ORNA_ALREADY_REGISTERED;
  if (!ValidName(serverName) || !ValidName(moduleName) || equipmentFunction == nullptr ||
      deviceCount < 0 || intervalMs < 0)
    return ORNA_INVALID_ARGUMENT;
  s.serverName = serverName;
  s.moduleName = moduleName;
  s.deviceCount = deviceCount;
  s.equipmentFunction = equipmentFunction;
  s.backgroundFunction = backgroundFunction;
  s.backgroundIntervalMs = intervalMs;
  s.exitFunction = exitFunction;
  {
    MutexLock lock(Schedule().mutex);
    Schedule().moduleName = moduleName;
  }
  // The module registers its devices and properties from here, before any call.
  if (initFunction != nullptr) initFunction();
  s.moduleRegistered = true;
  s.nextBackground = OrnaClock::now() + std::chrono::milliseconds(intervalMs);
  // Another live server of the name in etcd refuses the registration before anything
  // is published here.
  if (int r = OrnaEtcdRegister(s.context, s.serverName, s.sharedEndpoint); r != ORNA_OK)
    return r;
  if (!OrnaPublishServer(s.context, s.serverName, s.endpoint)) {
    OrnaEtcdWithdraw();
    feclog("cannot publish /%s/%s in %s", s.context.c_str(), s.serverName.c_str(),
           OrnaNamesDirectory().c_str());
    return ORNA_NAMES_ERROR;
  }
  s.published = true;  // the names layer withdraws it at the process's end
  return ORNA_OK;
}

int RegisterXPropertyQueryFunction(const char* moduleName, OrnaQueryFunction function,
                                   int maxRecords) {
  if (int r = CheckModule(moduleName); r != ORNA_OK) return r;
  if (function == nullptr || maxRecords < 0) return ORNA_INVALID_ARGUMENT;
  Server().queryFunction = function;
  Server().queryMaxRecords = maxRecords;
  return ORNA_OK;
}

int RegisterDeviceName(const char* moduleName, const char* deviceName, int number) {
  if (int r = CheckModule(moduleName); r != ORNA_OK) return r;
  OrnaServer& s = Server();
  if (!ValidName(deviceName) || number < 0 || (s.deviceCount > 0 && number >= s.deviceCount))
    return ORNA_INVALID_ARGUMENT;
  for (const OrnaDevice& d : s.devices)
    if (d.name == deviceName || d.number == number) return ORNA_ALREADY_REGISTERED;
  s.devices.push_back({deviceName, number});
  return ORNA_OK;
}

int RegisterPropertyEx(const char* moduleName, const char* property, int outSize,
                       short outFormat, unsigned char access, const char* description,
                       int id) {
  if (int r = CheckModule(moduleName); r != ORNA_OK) return -r;
  if (!ValidName(property) || outSize < 0) return -ORNA_INVALID_ARGUMENT;
  if (OrnaElementSize(outFormat) < 0) return -ORNA_ILLEGAL_FORMAT;
  if (access < 1 || access > 3) return -ORNA_ILLEGAL_READ_WRITE;
  // Properties are registered by name, without their device, so a name that two
  // devices share (such as ID or Status) is registered once per device: each
  // registration is kept and answered with its own number.
  OrnaServer& s = Server();
  s.properties.push_back({property, Text(description), outSize, outFormat, access, id});
  return (int)s.properties.size();
}

int SetEqmCompletion(const char* moduleName, const char* text) {
  if (int r = CheckModule(moduleName); r != ORNA_OK) return r;
  OrnaServer& s = Server();
  if (!s.inCall || text == nullptr) return ORNA_INVALID_ARGUMENT;
  s.completion.assign(text, strnlen(text, orna_wire::kTextSize - 5));
  return ORNA_OK;
}
