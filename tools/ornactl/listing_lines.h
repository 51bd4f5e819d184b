// The lines of `ornactl props` (one per property of a device) and `ornactl devices`
// (the server's described fields, then one line per device), readable or JSON.
// Pure functions; any thread.
#pragma once

#include <string>
#include <utility>

#include "orna/orna_client.h"

namespace ornactl {

// Column titles matching PropertyLine with the same name width.
std::string PropertyTitleLine(size_t nameWidth);
// NAME (padded to nameWidth) out format and size, in format and size, access, description.
std::string PropertyLine(const OrnaPropertyInfo& property, size_t nameWidth);
// {"name":..,"description":..,"outSize":..,"outFormat":..,"inSize":..,"inFormat":..,"access":..}
std::string PropertyJsonLine(const OrnaPropertyInfo& property);

// "device 3: NAME" / {"number":3,"device":"NAME"}
std::string DeviceLine(int number, const std::string& name);
std::string DeviceJsonLine(int number, const std::string& name);

// "KEY: VALUE" per field / one object {"server":ADDRESS,"fields":{KEY:VALUE,...}}.
std::string FieldLine(const std::pair<std::string, std::string>& field);
std::string ServerJsonLine(const std::string& address, const OrnaServerDescription& description);

// The result line of a listing that failed: "result 98: timeout" / {"result":98,"text":..}.
std::string ListingFailureLine(int result, const std::string& text);
std::string ListingFailureJsonLine(int result, const std::string& text);

}  // namespace ornactl
