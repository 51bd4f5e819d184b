#include "server/query_records.h"

#include <cstring>

#include "server/device_selection.h"

namespace {

// One array per device, sized by its run of the table. Main thread writes them once,
// before the library can ask; read-only afterwards.
PropertyQueryRecord gServerRecords[6];
PropertyQueryRecord gSourceRecords[4];
PropertyQueryRecord gOutputRecords[4];
PropertyQueryRecord gHardwareRecords[kLongestDeviceRun];
// HardwareControl's answer: its whole run when the source brings the device, else the
// one zero record of the dummy row.
size_t gHardwareRecordCount = 1;

PropertyQueryRecord* RecordsOf(DeviceNumber device) {
  switch (device) {
    case kDeviceSource:
      return gSourceRecords;
    case kDeviceOutput:
      return gOutputRecords;
    case kDeviceHardwareControl:
      return gHardwareRecords;
    case kDeviceServer:
    default:
      return gServerRecords;
  }
}

void FillDevice(DeviceNumber device) {
  DeviceRun run = RunOfDevice(device);
  PropertyQueryRecord* records = RecordsOf(device);
  for (size_t i = 0; i < run.count; ++i) FillQueryRecord(PropertyTable[run.first + i], &records[i]);
}

}  // namespace

void FillQueryRecord(const PropertyDefinition& definition, PropertyQueryRecord* record) {
  memset(record, 0, sizeof *record);
  memcpy(record->name, definition.name, sizeof record->name);
  memcpy(record->description, definition.description, sizeof record->description);
  record->units[0] = '\0';
  memcpy(record->numbers, definition.numbers, sizeof record->numbers);
  record->outSize = definition.outSize;
  record->inSize = definition.inSize;
  record->outFormat = static_cast<uint8_t>(definition.outFormat & 0xff);
  record->inFormat = static_cast<uint8_t>(definition.inFormat & 0xff);
  record->access = static_cast<uint8_t>(definition.access & 0xff);
  record->outRows = 1;
  record->inRows = 1;
}

void FillAllQueryRecords(bool withHardwareDevice) {
  FillDevice(kDeviceServer);
  FillDevice(kDeviceSource);
  FillDevice(kDeviceOutput);
  memset(gHardwareRecords, 0, sizeof gHardwareRecords);
  if (withHardwareDevice) FillDevice(kDeviceHardwareControl);
  gHardwareRecordCount = withHardwareDevice ? RunOfDevice(kDeviceHardwareControl).count : 1;
}

int QueryDeviceProperties(const char* device, PropertyQueryRecord** records) {
  DeviceNumber selected = SelectDevice(device);
  if (records != nullptr) *records = RecordsOf(selected);
  if (selected == kDeviceHardwareControl) return static_cast<int>(gHardwareRecordCount);
  return static_cast<int>(RunOfDevice(selected).count);
}
