// The equipment module's devices and properties: the constant PropertyTable, in the
// order of registration, and the device runs it is divided into. Every other part of
// the module (registration, query records, lookup, dispatch) works from this table.
//
// Ownership: constant data of the module. Threading: read-only, any thread.
#pragma once

#include <cstddef>
#include <cstdint>

// One row of the PropertyTable.
struct PropertyDefinition {
  char name[32];          // zero-filled
  char description[64];   // zero-filled
  int32_t numbers[10];    // zero in every row; carried into the query record
  int32_t outSize;        // elements
  int32_t inSize;         // elements
  int16_t outFormat;      // ORNA_FMT_*
  int16_t inFormat;       // ORNA_FMT_*
  int16_t access;         // 1 read, 3 read and write
  uint16_t id;            // the key of the dispatch in HandleProperty
};

// Property ids, the dispatch keys of HandleProperty. 0 means "no such property".
enum PropertyId : uint16_t {
  kPropertyNone = 0,
  kPropertyAliveSince = 1,
  kPropertyType = 2,
  kPropertyServerStatus = 3,
  kPropertyServerId = 4,
  kPropertyDoRestart = 5,
  kPropertyVersion = 6,
  kPropertySourceName = 7,
  kPropertySourceId = 8,
  kPropertySourceStatus = 9,
  kPropertyFrameRate = 10,
  kPropertyFrame = 11,
  kPropertyFrameSched = 12,
  kPropertyHeader = 13,
  kPropertyHeaderSched = 14,
  // The HardwareControl device's rows (100 and up) are the frame source's own: the
  // source answers them (HardwareControl::HandleHardwareProperty), never the module.
  kPropertyDummy = 100,
  kPropertyFaultDisconnect = 101,
  kPropertyFaultStall = 102,
  kPropertyFaultDropEvery = 103,
  kPropertyFaultJitter = 104,
  kPropertyFaultCorruptEvery = 105,
  kPropertyFaultFrameRate = 106,
  kPropertyFaultSeed = 107,
  kPropertyFaults = 108,
  kPropertyFaultReset = 109,
};
constexpr uint16_t kFirstSourcePropertyId = kPropertyDummy;

// The devices of the module, with the numbers they are registered under.
enum DeviceNumber : int32_t {
  kDeviceServer = 0,
  kDeviceSource = 1,
  kDeviceOutput = 2,
  kDeviceHardwareControl = 3,
};
constexpr int32_t kDeviceCount = 4;

// The registered device names, indexed by DeviceNumber.
extern const char* const kDeviceNames[kDeviceCount];

// Rows of the table; the devices' runs follow one another in device order.
constexpr size_t kPropertyTableRows = 24;
// The rows of the longest device run (HardwareControl's).
constexpr size_t kLongestDeviceRun = 10;
extern const PropertyDefinition PropertyTable[kPropertyTableRows];

// A device's part of the table: rows first .. first + count - 1.
struct DeviceRun {
  size_t first;
  size_t count;
};
// The run of a device; number must be one of DeviceNumber.
DeviceRun RunOfDevice(DeviceNumber device);
