// The fault control of the server as the viewer shows it: the values of its
// HardwareControl device (the Faults text and the settings of each fault), read in one
// round. A server started without fault control has no such device; the first read
// (Faults) tells, so such a server costs one call a round.
//
// Threading: ReadFaultStatus is a blocking call; any thread.
#pragma once

#include <cstdint>
#include <string>

struct FaultStatus {
  std::string faults;        // Faults: what is active, "none" when nothing is
  int32_t disconnectMs = 0;  // Disconnect: ms of disconnection left
  int32_t stallMs = 0;       // Stall: ms without frames left
  int32_t dropEvery = 0;     // DropEvery: every Nth frame dropped, 0 off
  int32_t jitterMs = 0;      // Jitter: each frame up to N ms late, 0 off
  int32_t corruptEvery = 0;  // CorruptEvery: every Nth frame damaged, 0 off
  float frameRate = 0;       // FrameRate: the frame-rate limit, 0 the settings' limit
  int32_t faultSeed = 0;     // FaultSeed: the seed of the random choices
};

// The device address of the fault control of SERVER_ADDRESS (/CONTEXT/SERVER).
std::string FaultDeviceAddress(const std::string& serverAddress);

// Reads the fault control of SERVER_ADDRESS into *status. False when the server has no
// such device, or when any of the reads failed (the reason in *error then); *status is
// then unchanged.
bool ReadFaultStatus(const std::string& serverAddress, FaultStatus* status, std::string* error);
