#include "source/fault_properties.h"

#include <cmath>
#include <cstring>

namespace {

struct PropertyRule {
  FaultProperty property;
  const char* name;
};

constexpr PropertyRule kProperties[] = {
    {FaultProperty::kDisconnect, "Disconnect"},     {FaultProperty::kStall, "Stall"},
    {FaultProperty::kDropEvery, "DropEvery"},       {FaultProperty::kJitter, "Jitter"},
    {FaultProperty::kCorruptEvery, "CorruptEvery"}, {FaultProperty::kFrameRate, "FrameRate"},
    {FaultProperty::kFaultSeed, "FaultSeed"},       {FaultProperty::kReset, "Reset"},
};

bool ZeroOrAtLeastTwo(int32_t n) { return n == 0 || n >= 2; }

}  // namespace

bool FaultPropertyFromName(const char* name, FaultProperty* property) {
  for (const PropertyRule& rule : kProperties) {
    if (strcmp(rule.name, name) == 0) {
      *property = rule.property;
      return true;
    }
  }
  return false;
}

const char* FaultPropertyName(FaultProperty property) {
  for (const PropertyRule& rule : kProperties) {
    if (rule.property == property) return rule.name;
  }
  return "";
}

bool FaultPropertyIsReal(FaultProperty property) { return property == FaultProperty::kFrameRate; }

bool FaultValueAllowed(FaultProperty property, const FaultValue& value, const char** why) {
  const char* ignored = nullptr;
  if (why == nullptr) why = &ignored;
  const int32_t n = value.integer;
  switch (property) {
    case FaultProperty::kDisconnect:
    case FaultProperty::kStall:
      *why = "must be 0 or more (ms)";
      return n >= 0;
    case FaultProperty::kDropEvery:
    case FaultProperty::kCorruptEvery:
      *why = "must be 0 or at least 2";
      return ZeroOrAtLeastTwo(n);
    case FaultProperty::kJitter:
      *why = "must be 0 to 10000 (ms)";
      return n >= 0 && n <= kMaxJitterMs;
    case FaultProperty::kFrameRate:
      *why = "must be a frame rate of 0 or more";
      return std::isfinite(value.real) && value.real >= 0.0f;
    case FaultProperty::kFaultSeed:
      return true;
    case FaultProperty::kReset:
      *why = "must be 1";
      return n == 1;
  }
  return false;
}
