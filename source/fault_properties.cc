#include "source/fault_properties.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "source/frame_rate_limit.h"

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

// "st", "nd", "rd" or "th" after n, as in "every 3rd frame".
const char* OrdinalSuffix(int32_t n) {
  if (n % 100 >= 11 && n % 100 <= 13) return "th";
  switch (n % 10) {
    case 1:
      return "st";
    case 2:
      return "nd";
    case 3:
      return "rd";
    default:
      return "th";
  }
}

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
      // As for the LimitFramerate setting, a rate of 0.01 or less would mean no limit:
      // refused, so that a tiny rate never lets the frames run free.
      *why = "must be 0 or a frame rate above 0.01";
      return std::isfinite(value.real) &&
             (value.real == 0.0f || value.real > kLowestFrameRateLimit);
    case FaultProperty::kFaultSeed:
      return true;
    case FaultProperty::kReset:
      *why = "must be 1";
      return n == 1;
  }
  return false;
}

void DescribeFaultWrite(FaultProperty property, const FaultValue& value, char* text,
                        size_t size) {
  if (size == 0) return;
  const int32_t n = value.integer;
  switch (property) {
    case FaultProperty::kDisconnect:
      if (n == 0) {
        snprintf(text, size, "disconnection ended");
      } else {
        snprintf(text, size, "disconnected for %d ms", n);
      }
      return;
    case FaultProperty::kStall:
      if (n == 0) {
        snprintf(text, size, "stall ended");
      } else {
        snprintf(text, size, "stalled for %d ms", n);
      }
      return;
    case FaultProperty::kDropEvery:
      if (n == 0) {
        snprintf(text, size, "dropping no frames");
      } else {
        snprintf(text, size, "dropping every %d%s frame", n, OrdinalSuffix(n));
      }
      return;
    case FaultProperty::kJitter:
      if (n == 0) {
        snprintf(text, size, "no jitter");
      } else {
        snprintf(text, size, "jitter of up to %d ms", n);
      }
      return;
    case FaultProperty::kCorruptEvery:
      if (n == 0) {
        snprintf(text, size, "damaging no frames");
      } else {
        snprintf(text, size, "damaging every %d%s frame", n, OrdinalSuffix(n));
      }
      return;
    case FaultProperty::kFrameRate:
      if (value.real == 0.0f) {
        snprintf(text, size, "frame-rate limit of the settings");
      } else {
        snprintf(text, size, "frame-rate limit %g", static_cast<double>(value.real));
      }
      return;
    case FaultProperty::kFaultSeed:
      snprintf(text, size, "seed %d", n);
      return;
    case FaultProperty::kReset:
      snprintf(text, size, "every fault off");
      return;
  }
  text[0] = '\0';
}
