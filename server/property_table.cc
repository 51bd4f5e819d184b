#include "server/property_table.h"

#include "orna/orna_api.h"
#include "source/frame_slot.h"

namespace {

// Output's sizes in elements: a whole frame slot's pixels, one header's bytes.
constexpr int32_t kFrameCapacity = static_cast<int32_t>(kSlotPixelCapacity);
constexpr int32_t kHeaderSize = static_cast<int32_t>(kFrameHeaderSize);

}  // namespace

const char* const kDeviceNames[kDeviceCount] = {"Server", "Source", "Output",
                                                "HardwareControl"};

// Rows 0-5 Server, 6-9 Source, 10-13 Output, 14 HardwareControl.
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
};

DeviceRun RunOfDevice(DeviceNumber device) {
  switch (device) {
    case kDeviceSource:
      return {6, 4};
    case kDeviceOutput:
      return {10, 4};
    case kDeviceHardwareControl:
      return {14, 1};
    case kDeviceServer:
    default:
      return {0, 6};
  }
}
