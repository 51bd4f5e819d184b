// The names of the settings file, its sections and its keys: every part of the server
// reads its configuration through these constants and no other spelling.
//
// Threading: constants; any thread.
#pragma once

// The settings file, beside the executable.
inline constexpr char kSettingsFileName[] = "settings.xml";

// Sections.
inline constexpr char kSectionHardware[] = "Hardware";
inline constexpr char kSectionImageSource[] = "ImageSource";
inline constexpr char kSectionOrnaServerSettings[] = "OrnaServerSettings";
inline constexpr char kSectionOrnaVideoService[] = "OrnaVideoService";

// Hardware: the frame source.
inline constexpr char kKeyType[] = "Type";                                    // text
inline constexpr char kKeyEffectiveBitsPerPixel[] = "EffectiveBitsPerPixel";  // integer
inline constexpr char kKeyAnimationFile[] = "AnimationFile";                  // text
inline constexpr char kKeyLimitFramerate[] = "LimitFramerate";                // real, optional
// Faults on command for testing clients: FaultControl 1 gives the source its own
// device with the fault properties; FaultPlan names a plan file beside the executable
// (source/fault_plan.h) and needs FaultControl 1.
inline constexpr char kKeyFaultControl[] = "FaultControl";                    // 0 or 1, optional
inline constexpr char kKeyFaultPlan[] = "FaultPlan";                          // text, optional

// ImageSource: Name (text) and ID (integer).
// OrnaServerSettings: Context, ServerName, ID and Name (text; ID is read as an integer
// outside the validation) and the keys below.
// OrnaVideoService: Context and ServerName.
inline constexpr char kKeyName[] = "Name";
inline constexpr char kKeyID[] = "ID";
inline constexpr char kKeyContext[] = "Context";
inline constexpr char kKeyServerName[] = "ServerName";

inline constexpr char kKeyPortOffset[] = "PortOffset";                    // integer
inline constexpr char kKeyEquipmentModuleName[] = "EquipmentModuleName";  // text
inline constexpr char kKeyFecName[] = "FecName";
inline constexpr char kKeyFecDescription[] = "FecDescription";
inline constexpr char kKeyFecLocation[] = "FecLocation";
inline constexpr char kKeyFecHardware[] = "FecHardware";
inline constexpr char kKeyFecResponsible[] = "FecResponsible";
inline constexpr char kKeySubsystem[] = "Subsystem";
inline constexpr char kKeyDeadManCircuitName[] = "DeadManCircuitName";  // text, optional

// The most bytes a reader keeps of a text value; the validation refuses identity
// values that would be cut.
inline constexpr int kContextLimit = 16;              // both Context keys, Subsystem
inline constexpr int kServerNameLimit = 32;           // both ServerName keys, Fec texts
inline constexpr int kFecNameLimit = 16;              // validated; readers keep 32
inline constexpr int kEquipmentModuleNameLimit = 6;
inline constexpr int kImageSourceNameLimit = 24;      // validated; readers keep 64
inline constexpr int kDeadManCircuitNameLimit = 49;
inline constexpr int kFaultPlanNameLimit = 64;
