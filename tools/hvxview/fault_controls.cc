#include "tools/hvxview/fault_controls.h"

#include <charconv>
#include <system_error>

const FaultControl kFaultControls[] = {
    {"/fault/disconnect", FaultProperty::kDisconnect, "ms", 0},
    {"/fault/stall", FaultProperty::kStall, "ms", 0},
    {"/fault/drop", FaultProperty::kDropEvery, "every", 0},
    {"/fault/reset", FaultProperty::kReset, nullptr, 1},
};
const size_t kFaultControlCount = sizeof kFaultControls / sizeof kFaultControls[0];

bool FaultControlValue(const FaultControl& control, bool hasValue, const std::string& text,
                       int32_t* value, std::string* why) {
  if (control.parameter == nullptr) {
    *value = control.fixedValue;
    return true;
  }
  const std::string name = std::string(FaultPropertyName(control.property)) + " (" +
                           control.parameter + ")";
  if (!hasValue) {
    *why = name + " is missing: give ?" + control.parameter + "=N";
    return false;
  }
  // Only an optional minus and decimal digits, all of them, within int32.
  int32_t parsed = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, parsed);
  if (text.empty() || error != std::errc() || stop != end) {
    *why = name + " must be a whole number (decimal digits, within 32 bits)";
    return false;
  }
  FaultValue candidate;
  candidate.integer = parsed;
  const char* rule = nullptr;
  if (!FaultValueAllowed(control.property, candidate, &rule)) {
    *why = name + " " + rule + ", not " + std::to_string(parsed);
    return false;
  }
  *value = parsed;
  return true;
}
