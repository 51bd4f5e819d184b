// How the device name a client passes selects a registered device: the name begins
// with the registered one, letters compared without regard to case, as many as the
// registered name has ("hardwarecontrol", "HardwareControl2" select "HardwareControl").
// The module's device selection and the frame source's own device follow this one rule.
//
// Threading: pure; any thread.
#pragma once

// False for a null name.
bool DeviceNameSelects(const char* device, const char* registered);
