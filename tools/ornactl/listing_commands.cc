// `ornactl props` and `ornactl devices`: what a device offers and what a server holds.
#include <algorithm>
#include <vector>

#include "orna/orna_client.h"
#include "tools/common/addresses.h"
#include "tools/ornactl/command_support.h"
#include "tools/ornactl/commands.h"
#include "tools/ornactl/listing_lines.h"

namespace ornactl {

using tools_common::IsDeviceAddress;
using tools_common::IsServerAddress;

namespace {

int PrintFailure(int result, bool json) {
  const std::string text = OrnaErrorText(result);
  PrintLine(json ? ListingFailureJsonLine(result, text) : ListingFailureLine(result, text));
  return kExitFailed;
}

}  // namespace

int RunProps(const ListingOptions& options) {
  if (!IsDeviceAddress(options.address)) {
    return UsageError("address \"" + options.address + "\" is not /CONTEXT/SERVER/DEVICE");
  }
  if (options.timeoutMs < 0) return UsageError("--timeout must not be negative");
  std::vector<OrnaPropertyInfo> properties;
  const int result =
      OrnaListProperties(options.address.c_str(), &properties, options.timeoutMs);
  if (result != 0) return PrintFailure(result, options.json);
  if (options.json) {
    for (const OrnaPropertyInfo& p : properties) PrintLine(PropertyJsonLine(p));
    return kExitOk;
  }
  size_t width = 8;
  for (const OrnaPropertyInfo& p : properties) width = std::max(width, p.name.size());
  PrintLine(PropertyTitleLine(width));
  for (const OrnaPropertyInfo& p : properties) PrintLine(PropertyLine(p, width));
  return kExitOk;
}

int RunDevices(const ListingOptions& options) {
  if (!IsServerAddress(options.address)) {
    return UsageError("address \"" + options.address + "\" is not /CONTEXT/SERVER");
  }
  if (options.timeoutMs < 0) return UsageError("--timeout must not be negative");
  OrnaServerDescription description;
  const int result =
      OrnaDescribeServer(options.address.c_str(), &description, options.timeoutMs);
  if (result != 0) return PrintFailure(result, options.json);
  if (options.json) {
    PrintLine(ServerJsonLine(options.address, description));
    for (const auto& [number, name] : description.devices) PrintLine(DeviceJsonLine(number, name));
    return kExitOk;
  }
  for (const auto& field : description.fields) PrintLine(FieldLine(field));
  for (const auto& [number, name] : description.devices) PrintLine(DeviceLine(number, name));
  return kExitOk;
}

}  // namespace ornactl
