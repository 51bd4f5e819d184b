// The kinds of frame source that the setting Hardware/Type may name, and the code
// under which the server reports the configured kind. Only AnimationPlayback has an
// implementation; the other names are reported, nothing more.
//
// Threading: any thread (reads only).
#pragma once

#include <cstdint>

class CIniExWrap;

enum HardwareType : int32_t {
  kHardwareTypePCVision = 1,
  kHardwareTypeProsilicaGigE = 2,
  kHardwareTypeNI_IMAQ_PCI = 3,
  kHardwareTypeBaslerGigE = 4,
  kHardwareTypeDirectShow = 5,
  kHardwareTypeRadHard_DLR = 6,
  kHardwareTypeAnimationPlayback = 7,
  kHardwareTypeJaiPulnixGigE = 8,
  kHardwareTypeLabVIEWToQDR3 = 9,
  kHardwareTypeUnknown = 10,  // any other value, the empty one included
};

// The code of a type name, its letters compared without regard to case; exact
// otherwise (a trailing blank makes another name). Null or unknown names give
// kHardwareTypeUnknown.
HardwareType LookupHardwareType(const char* typeName);

// The code of Hardware/Type in settings (missing reads as empty).
HardwareType GetConfiguredHardwareType(const CIniExWrap& settings);
