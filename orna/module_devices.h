// The module's devices as clients name them. A module may select its devices by a rule
// of its own (a prefix, letters in any case); its query function applies that rule, so
// the library asks it which device a name selects, and names that select the same
// device are the same device to the contracts.
//
// Main thread only (inside _SystemCycle); it may call the module's query function.
#pragma once

#include <string>

#include "orna/orna_api.h"

struct OrnaSelectedDevice {
  // The registered name of the selected device; the name as asked when it is one, or
  // when the module's answer matches no registered device.
  std::string name;
  // The device's properties by the module's query function; null without one.
  const PropertyQueryRecord* records = nullptr;
  int recordCount = 0;
};

// The device that the client's name DEVICE selects: a registered name as it is, else
// the one the module's query function answers records for. False when the name is
// not registered and the module has no query function or answers no records for it.
bool OrnaSelectDevice(const std::string& device, OrnaSelectedDevice* selected);

// Whether DEVICE has PROPERTY by its query records (names compared exactly); true when
// the module has no query function, whose reads alone then tell.
bool OrnaDeviceHasProperty(const OrnaSelectedDevice& device, const std::string& property);
