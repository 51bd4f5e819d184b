// The writable fault properties of the source's HardwareControl device: their names and
// the values a write of each accepts. The plan file and the property writes both check
// their values here, so that a plan can hold nothing a client couldn't write.
//
// Threading: constants and pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>

enum class FaultProperty {
  kDisconnect,    // ms of temporary disconnection from now; 0 ends it
  kStall,         // ms without frames from now, without the disconnected state; 0 ends it
  kDropEvery,     // every Nth frame taken is never announced; 0 off
  kJitter,        // each frame announced after 0 to N ms more; 0 off
  kCorruptEvery,  // every Nth frame announced has damaged pixels; 0 off
  kFrameRate,     // the frame-rate limit (a 32-bit float); 0 the settings' limit
  kFaultSeed,     // the seed of the random choices (jitter)
  kReset,         // 1: every fault off, the settings' rate back
};

// A value as written: FrameRate uses real, every other property integer.
struct FaultValue {
  int32_t integer = 0;
  float real = 0.0f;
};

// The largest Jitter: a frame may be held back at most this long, so that the grab
// thread stays quick to stop and the stream never looks stalled by jitter alone.
constexpr int32_t kMaxJitterMs = 10000;

// The property of that exact name (letter case counts, as for the device's other
// properties in a plan); false for any other name.
bool FaultPropertyFromName(const char* name, FaultProperty* property);
const char* FaultPropertyName(FaultProperty property);
// Whether FrameRate (a real) or an integer property.
bool FaultPropertyIsReal(FaultProperty property);

// Whether a write of value to property is accepted; on false, *why (when given) is a
// short reason such as "must be 0 or at least 2".
bool FaultValueAllowed(FaultProperty property, const FaultValue& value, const char** why);

// Room for DescribeFaultWrite's longest text.
constexpr size_t kFaultWriteTextCapacity = 64;

// What a write of an allowed value does, for the log: "disconnected for 2000 ms",
// "disconnection ended", "dropping every 3rd frame", "every fault off" and so on; cut
// to size - 1 bytes.
void DescribeFaultWrite(FaultProperty property, const FaultValue& value, char* text,
                        size_t size);
