// The process-wide state that start-up, the frame source and the control-system glue
// share. There is exactly one of each; all are zero, false or null at process start.
//
// Guards: ErrorCount is atomic (incremented on the main, grab and console threads).
// StayQuiet, SourceFailed, RestartRequested and AliveSinceTime are touched on the main
// thread only. BaseBuffer and EqmOrFrameNotify are set by start-up and taken away by
// ExitApplication, which may run on the console-event thread while the main thread
// still reads them; they are atomic so that a reader sees either the object or null.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>

#include "platform/sys.h"

// The frame memory: kBaseBufferSize bytes of frame slots (source/frame_slot.h).
extern std::atomic<uint8_t*> BaseBuffer;
extern std::atomic<SysSemaphore*> EqmOrFrameNotify;
extern bool StayQuiet;
extern bool SourceFailed;
extern bool RestartRequested;
extern std::atomic<int32_t> ErrorCount;
extern time_t AliveSinceTime;
