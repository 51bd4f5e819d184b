// The fault controls the viewer offers with --allow-control: each is a POST route that
// writes one property of the server's fault control (fault_status.h), with the value
// taken from one query parameter, or a fixed one:
//   POST /fault/disconnect?ms=N  Disconnect: disconnected for N ms, 0 ends it
//   POST /fault/stall?ms=N       Stall: no frames for N ms, 0 ends it
//   POST /fault/drop?every=N     DropEvery: every Nth frame dropped, 0 off
//   POST /fault/reset            Reset 1: every fault off
// A value must be a decimal int32 the property accepts (source/fault_properties.h, the
// rule the server itself applies), so that a bad one is refused with a reason before
// anything reaches the server.
//
// Threading: constants and pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "source/fault_properties.h"

struct FaultControl {
  const char* path;       // the route
  FaultProperty property;
  const char* parameter;  // the query parameter with the value; nullptr: fixedValue
  int32_t fixedValue;
};

extern const FaultControl kFaultControls[];
extern const size_t kFaultControlCount;

// The value CONTROL writes, from its parameter's text (HAS_VALUE false when the request
// had none). False, with a reason fit for the client in *why, when it is missing, not a
// decimal int32, or not a value the property accepts.
bool FaultControlValue(const FaultControl& control, bool hasValue, const std::string& text,
                       int32_t* value, std::string* why);
