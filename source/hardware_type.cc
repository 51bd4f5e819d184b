#include "source/hardware_type.h"

#include "config/ini_ex_wrap.h"
#include "config/settings_keys.h"

namespace {

// In code order: entry i has code i + 1.
constexpr const char* kTypeNames[] = {
    "PCVision",    "ProsilicaGigE",     "NI_IMAQ_PCI",   "BaslerGigE",    "DirectShow",
    "RadHard_DLR", "AnimationPlayback", "JaiPulnixGigE", "LabVIEWToQDR3",
};

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (FoldCase(*a) != FoldCase(*b)) return false;
  }
  return *a == *b;
}

}  // namespace

HardwareType LookupHardwareType(const char* typeName) {
  if (typeName == nullptr) return kHardwareTypeUnknown;
  for (int32_t i = 0; i < static_cast<int32_t>(sizeof kTypeNames / sizeof kTypeNames[0]); ++i) {
    if (EqualIgnoringCase(typeName, kTypeNames[i])) return static_cast<HardwareType>(i + 1);
  }
  return kHardwareTypeUnknown;
}

HardwareType GetConfiguredHardwareType(const CIniExWrap& settings) {
  return LookupHardwareType(settings.GetString(kSectionHardware, kKeyType, ""));
}
