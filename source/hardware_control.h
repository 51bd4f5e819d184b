// HardwareControl: the one interface through which the server drives its frame
// source: start and stop, the configuration check, the measured frame rate and the
// extension points of real grabber drivers (a device of its own, a temporary
// disconnection, a periodic hook). The server's one source is FrameSource
// (source/globals.h), an AnimationPlayer; all code reaches it through this interface.
//
// Threading: every operation is called on the server's main thread. The source's own
// thread calls only the NewFrameCallback. Operations answer bool or a code and never
// throw.
#pragma once

#include <cstdint>

#include "orna/orna_api.h"

class CIniExWrap;

// The name of the source's own control-system device (HasHardwareDevice).
inline constexpr char kHardwareDeviceName[] = "HardwareControl";

// Announces a filled frame slot: the slot's index (0 or 1 with two slots), the length
// of its used part in bytes (the 196-byte prefix plus the pixel bytes) and the frame's
// time stamp in seconds since 1970 UTC with millisecond resolution. Runs on the
// source's thread. The server passes OnNewFrameNotify.
typedef void (*NewFrameCallback)(int32_t slotIndex, uint32_t length, double timeStamp);

class HardwareControl {
 public:
  // Destroying a source stops it.
  virtual ~HardwareControl() = default;

  // Starts the source with settings (the server passes AppSettings): from now on it
  // fills the slotCount frame slots of baseBuffer and calls callback for every frame.
  // False: nothing runs, GetErrorText says why. Refused (false, nothing changed) while
  // the source runs.
  virtual bool Initialize(const CIniExWrap& settings, NewFrameCallback callback,
                          uint8_t* baseBuffer, int32_t slotCount) = 0;
  // Stops the source: on return none of its threads runs, the callback is no longer
  // called and baseBuffer is no longer written. Harmless on a stopped source.
  virtual bool Deinitialize() = 0;
  // The code of the last failure of Initialize.
  virtual int32_t GetErrorCode() const = 0;
  // The text of the last failure; never null.
  virtual const char* GetErrorText() const = 0;
  // Whether the settings describe a source this implementation can run; false rejects
  // the settings file as a whole. Looks at the settings only, not at any file.
  virtual bool CheckConfiguration(const CIniExWrap& settings) const = 0;
  // Frames per second recently delivered.
  virtual float GetFrameRate() const = 0;
  // True: the source brings the control-system device "HardwareControl" and every
  // property call is first offered to HandleHardwareProperty. Never changes while the
  // process lives.
  virtual bool HasHardwareDevice() const = 0;
  // A property call offered to the source, with the equipment function's arguments.
  // ORNA_ILLEGAL_PROPERTY (36): not handled here, the server answers the call itself;
  // any other value is the call's result.
  virtual int32_t HandleHardwareProperty(const char* device, const char* property,
                                         DataObject* dout, DataObject* din,
                                         short access) = 0;
  // True while a camera is temporarily disconnected; the status properties report it.
  virtual bool IsTemporarilyDisconnected() const = 0;
  // Called at the end of every run of the server's background task.
  virtual void OnBackgroundCycle() = 0;
};
