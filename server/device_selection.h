// From the names a client passes to the device and property the module serves: the
// device-selection rule shared by the query function and the dispatch, and the
// lookup of a property id in the selected device's run of the PropertyTable.
//
// Threading: pure functions over constant data; any thread.
#pragma once

#include <cstdint>

#include "server/property_table.h"

// Server, unless the name begins with "Source", "Output" or "HardwareControl" (letters
// compared without regard to case, as many as the known name has); the tests are made
// in that order and a later match wins. Null and empty names select Server.
DeviceNumber SelectDevice(const char* device);

// The id of the property in the selected device's run, names compared exactly (case
// counts); 0 when the run has no such name or the name is null.
uint16_t LookupPropertyId(const char* device, const char* property);
