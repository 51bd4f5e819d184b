// Checks of the addresses the tools (ornactl, hvxview) are given, so that a mistyped
// one is a usage error (exit 2) instead of a call that times out. Pure functions; any thread.
#pragma once

#include <string_view>

namespace tools_common {

// "/CONTEXT/SERVER/DEVICE": three non-empty parts, each after one slash.
bool IsDeviceAddress(std::string_view address);

// "/CONTEXT/SERVER": two non-empty parts.
bool IsServerAddress(std::string_view address);

}  // namespace tools_common
