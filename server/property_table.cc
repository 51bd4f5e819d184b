#include "server/property_table.h"

#include "orna/orna_api.h"
#include "source/fault_state.h"
#include "source/frame_slot.h"
#include "source/hardware_control.h"

namespace {

// Output's sizes in elements: a whole frame slot's pixels, one header's bytes.
constexpr int32_t kFrameCapacity = static_cast<int32_t>(kSlotPixelCapacity);
constexpr int32_t kHeaderSize = static_cast<int32_t>(kFrameHeaderSize);
// HardwareControl/Faults: the whole text of every fault active at once.
constexpr int32_t kFaultsTextSize = static_cast<int32_t>(kFaultsTextCapacity);

}  // namespace

const char* const kDeviceNames[kDeviceCount] = {"Server", "Source", "Output",
                                                kHardwareDeviceName};

// Rows 0-5 Server, 6-9 Source, 10-13 Output, 14-23 HardwareControl: dummy, then the
// source's fault properties (source/fault_properties.h), by the names it answers to.
const PropertyDefinition PropertyTable[kPropertyTableRows] = {
    {"AliveSince", "online since", {}, 1, 0, ORNA_FMT_NAME48, ORNA_FMT_NULL, 1,
     kPropertyAliveSince},
    {"Type", "type of server", {}, 1, 0, ORNA_FMT_NAME48, ORNA_FMT_NULL, 1, kPropertyType},
    {"Status", "status code or N48", {}, 1, 0, ORNA_FMT_NAME48, ORNA_FMT_NULL, 1,
     kPropertyServerStatus},
    {"ID", "id code of server", {}, 1, 0, ORNA_FMT_INT32, ORNA_FMT_NULL, 1, kPropertyServerId},
    {"DoRestart", "do restart/readback", {}, 1, 1, ORNA_FMT_INT32, ORNA_FMT_INT32, 3,
     kPropertyDoRestart},
    {"Version", "version information", {}, 1, 0, ORNA_FMT_NAME48, ORNA_FMT_NULL, 1,
     kPropertyVersion},
    {"Name", "name of image source", {}, 1, 0, ORNA_FMT_NAME48, ORNA_FMT_NULL, 1,
     kPropertySourceName},
    {"ID", "id of image source", {}, 1, 0, ORNA_FMT_INT32, ORNA_FMT_NULL, 1, kPropertySourceId},
    {"Status", "status of image source", {}, 1, 0, ORNA_FMT_INT32, ORNA_FMT_NULL, 1,
     kPropertySourceStatus},
    {"FrameRate", "current framerate (net avg)", {}, 1, 0, ORNA_FMT_FLOAT, ORNA_FMT_NULL, 1,
     kPropertyFrameRate},
    {"Frame", "get cur frame nonscheduled", {}, kFrameCapacity, 0, ORNA_FMT_IMAGE, ORNA_FMT_NULL, 1,
     kPropertyFrame},
    {"Frame.Sched", "get current frame scheduled", {}, kFrameCapacity, 0, ORNA_FMT_IMAGE,
     ORNA_FMT_NULL, 1, kPropertyFrameSched},
    {"Header", "get current frame header ns", {}, kHeaderSize, 0, ORNA_FMT_BYTE, ORNA_FMT_NULL, 1,
     kPropertyHeader},
    {"Header.Sched", "get cur frame header sched.", {}, kHeaderSize, 0, ORNA_FMT_BYTE, ORNA_FMT_NULL,
     1, kPropertyHeaderSched},
    {"dummy", "dummy desc", {}, 1, 0, ORNA_FMT_INT32, ORNA_FMT_NULL, 1, kPropertyDummy},
    {"Disconnect", "ms disconnected left (write N, 0 ends)", {}, 1, 1, ORNA_FMT_INT32,
     ORNA_FMT_INT32, 3, kPropertyFaultDisconnect},
    {"Stall", "ms without frames left (write N, 0 ends)", {}, 1, 1, ORNA_FMT_INT32,
     ORNA_FMT_INT32, 3, kPropertyFaultStall},
    {"DropEvery", "drop every Nth frame (0 off)", {}, 1, 1, ORNA_FMT_INT32, ORNA_FMT_INT32, 3,
     kPropertyFaultDropEvery},
    {"Jitter", "extra delay of 0 to N ms a frame (0 off)", {}, 1, 1, ORNA_FMT_INT32,
     ORNA_FMT_INT32, 3, kPropertyFaultJitter},
    {"CorruptEvery", "damage every Nth frame's pixels (0 off)", {}, 1, 1, ORNA_FMT_INT32,
     ORNA_FMT_INT32, 3, kPropertyFaultCorruptEvery},
    {"FrameRate", "frame-rate limit (0 the settings' value)", {}, 1, 1, ORNA_FMT_FLOAT,
     ORNA_FMT_FLOAT, 3, kPropertyFaultFrameRate},
    {"FaultSeed", "seed of the random choices", {}, 1, 1, ORNA_FMT_INT32, ORNA_FMT_INT32, 3,
     kPropertyFaultSeed},
    {"Faults", "faults active now", {}, kFaultsTextSize, 0, ORNA_FMT_TEXT, ORNA_FMT_NULL, 1,
     kPropertyFaults},
    {"Reset", "write 1: every fault off", {}, 1, 1, ORNA_FMT_INT32, ORNA_FMT_INT32, 3,
     kPropertyFaultReset},
};

DeviceRun RunOfDevice(DeviceNumber device) {
  switch (device) {
    case kDeviceSource:
      return {6, 4};
    case kDeviceOutput:
      return {10, 4};
    case kDeviceHardwareControl:
      return {14, kLongestDeviceRun};
    case kDeviceServer:
    default:
      return {0, 6};
  }
}
