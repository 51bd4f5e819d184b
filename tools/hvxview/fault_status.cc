#include "tools/hvxview/fault_status.h"

#include <cstring>
#include <utility>

#include "source/fault_properties.h"
#include "source/fault_state.h"
#include "source/hardware_control.h"
#include "tools/common/reply_values.h"
#include "tools/hvxview/server_calls.h"

namespace {

// The device's read-only text of the faults active now.
constexpr char kFaultsProperty[] = "Faults";

// One int32 fault property of the device into *value.
bool ReadInt32(const std::string& device, FaultProperty property, int32_t* value,
               std::string* error) {
  OrnaReply reply;
  if (!ReadServerValue(device, FaultPropertyName(property), ORNA_FMT_INT32, 1, &reply, error))
    return false;
  std::memcpy(value, reply.bytes, sizeof *value);
  return true;
}

}  // namespace

std::string FaultDeviceAddress(const std::string& serverAddress) {
  return serverAddress + "/" + kHardwareDeviceName;
}

bool ReadFaultStatus(const std::string& serverAddress, FaultStatus* status, std::string* error) {
  const std::string device = FaultDeviceAddress(serverAddress);
  OrnaReply text;
  if (!ReadServerValue(device, kFaultsProperty, ORNA_FMT_TEXT,
                       static_cast<int32_t>(kFaultsTextCapacity), &text, error)) {
    return false;
  }
  FaultStatus s;
  s.faults = std::string(tools_common::TextAt(text.bytes, text.size));
  OrnaReply rate;
  if (!ReadInt32(device, FaultProperty::kDisconnect, &s.disconnectMs, error) ||
      !ReadInt32(device, FaultProperty::kStall, &s.stallMs, error) ||
      !ReadInt32(device, FaultProperty::kDropEvery, &s.dropEvery, error) ||
      !ReadInt32(device, FaultProperty::kJitter, &s.jitterMs, error) ||
      !ReadInt32(device, FaultProperty::kCorruptEvery, &s.corruptEvery, error) ||
      !ReadInt32(device, FaultProperty::kFaultSeed, &s.faultSeed, error) ||
      !ReadServerValue(device, FaultPropertyName(FaultProperty::kFrameRate), ORNA_FMT_FLOAT, 1,
                       &rate, error)) {
    return false;
  }
  std::memcpy(&s.frameRate, rate.bytes, sizeof s.frameRate);
  *status = std::move(s);
  return true;
}
