// Registration of the module's query function, devices and properties with the
// library: EquipmentModuleInit, which the library calls once from inside
// RegisterEquipmentModule, and the two steps of the property registration.
//
// Threading: main thread, inside the library's call of the init function.
#pragma once

#include "server/property_table.h"

// The devices the module registers: Server, Source and Output, and HardwareControl
// when the frame source has a device of its own.
int ModuleDeviceCount();

// Fills the query records, registers the query function (failure: exit code 4), the
// devices (first failure: exit code 5) and every property (failure: exit code 6), then
// clears CurrentFrame. The failures end the process through ExitApplication.
void EquipmentModuleInit();

// Registers the Server, Source and Output rows, then the dummy row when the frame
// source has a device of its own; stops at the first row that fails and answers
// false (rows before it stay registered). Logs "Registered all properties
// successful." and answers true when all went in.
bool RegisterAllProperties();

// RegisterPropertyEx for one row: its result when positive, else 0. A negative result
// is logged with the property's name and the error code as a positive number.
int RegisterProperty(const PropertyDefinition& definition);
