// What the equipment module takes from the rest of the server: the frame source it
// serves, the module name as the settings give it now, and the wall clock. Everything
// reaches them through here, so that unit tests can put a source and a clock of their
// own in their place (module_testing.h).
//
// Threading: ModuleName and ModuleTimeNow from any thread; ModuleFrameSource on the
// main thread (the source's operations are main-thread operations).
#pragma once

#include <cstdint>

#include "source/hardware_control.h"

// The frame source: FrameSource, unless a test replaced it.
HardwareControl& ModuleFrameSource();

// EquipmentModuleName of section OrnaServerSettings, read afresh from AppSettings and
// passed uncut (the start-up validation keeps it to 1 to 6 characters); empty when
// missing. Valid until AppSettings is opened again.
const char* ModuleName();

// The wall clock as SysTimeNow gives it, unless a test set a clock.
void ModuleTimeNow(int64_t* seconds, int32_t* milliseconds);
