#include "orna/module_devices.h"

#include <cstring>

#include "orna/server_state.h"

namespace {

// The module's records for NAME; false when it has no query function or answers none.
bool RecordsOf(const std::string& name, const PropertyQueryRecord** records, int* count) {
  const OrnaServer& s = Server();
  if (s.queryFunction == nullptr) return false;
  PropertyQueryRecord* first = nullptr;
  int n = s.queryFunction(name.c_str(), &first);
  if (n <= 0 || first == nullptr) return false;
  if (s.queryMaxRecords > 0 && n > s.queryMaxRecords) n = s.queryMaxRecords;
  *records = first;
  *count = n;
  return true;
}

}  // namespace

bool OrnaSelectDevice(const std::string& device, OrnaSelectedDevice* selected) {
  const OrnaServer& s = Server();
  *selected = OrnaSelectedDevice();
  bool registered = false;
  for (const OrnaDevice& d : s.devices) registered = registered || d.name == device;
  selected->name = device;
  if (!RecordsOf(device, &selected->records, &selected->recordCount)) {
    selected->records = nullptr;
    selected->recordCount = 0;
    return registered;
  }
  if (registered) return true;
  // Another name of a registered device: the module hands out the same records.
  for (const OrnaDevice& d : s.devices) {
    const PropertyQueryRecord* records = nullptr;
    int count = 0;
    if (RecordsOf(d.name, &records, &count) && records == selected->records &&
        count == selected->recordCount) {
      selected->name = d.name;
      break;
    }
  }
  return true;
}

bool OrnaDeviceHasProperty(const OrnaSelectedDevice& device, const std::string& property) {
  if (Server().queryFunction == nullptr) return true;
  for (int i = 0; i < device.recordCount; ++i) {
    const char* name = device.records[i].name;
    size_t length = strnlen(name, sizeof device.records[i].name);
    if (length == property.size() && memcmp(name, property.data(), length) == 0) return true;
  }
  return false;
}
