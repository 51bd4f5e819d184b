// The property query records through which the library learns each device's
// properties: one static array per device, filled once from the PropertyTable by
// EquipmentModuleInit, and the query function that hands them out.
//
// Ownership: the arrays live as long as the process; the library reads them through
// QueryDeviceProperties and never writes them. Threading: FillAllQueryRecords on the
// main thread before the query function is registered; afterwards read-only, so the
// library may read them from any thread without a lock.
#pragma once

#include "orna/orna_api.h"
#include "server/property_table.h"

// Writes one record from a table row: name, description, an empty text at 96, the ten
// numbers, both sizes, the low bytes of the formats and of the access, 1 at 212 and
// 214, zero everywhere else.
void FillQueryRecord(const PropertyDefinition& definition, PropertyQueryRecord* record);

// Fills the records of Server, Source and Output, and of HardwareControl when
// withHardwareDevice is true (its record stays all zero otherwise).
void FillAllQueryRecords(bool withHardwareDevice);

// The query function: stores the address of the device's first record in *records and
// answers how many there are (1 for HardwareControl, whether it was registered or
// not). The device is selected as SelectDevice does. A null records pointer is left
// alone and the count still answered.
int QueryDeviceProperties(const char* device, PropertyQueryRecord** records);
