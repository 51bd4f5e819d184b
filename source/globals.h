// The server's two global objects, declared for every part that uses them. Both are
// constructed before main runs, FrameSource first and AppSettings second, and destroyed
// in reverse order at a normal process end. Their constructors only set defaults; the
// work happens in Initialize and Open.
//
// Both are defined in source/globals.cc, the lowest part that knows the concrete frame
// source and the settings class; a user includes the header of the class it calls
// (config/ini_ex_wrap.h, source/hardware_control.h).
//
// FrameSource: the one frame source (an AnimationPlayer), reached only through the
// interface; main thread (its grab thread calls back, never in).
// AppSettings: the one settings object over settings.xml. Read on the main thread and
// on the grab thread; opened and reset only while the frame source is stopped.
#pragma once

class CIniExWrap;
class HardwareControl;

extern HardwareControl& FrameSource;
extern CIniExWrap AppSettings;

// FrameSource's check of a settings object, as start-up hands it to the settings
// validation (SetSourceSettingsCheck). Main thread.
bool FrameSourceAccepts(const CIniExWrap& settings);

// Fixes whether FrameSource brings its own device (fault control) from settings, before
// the server registers its devices; later settings don't change it. Main thread.
void DecideFrameSourceDevice(const CIniExWrap& settings);
