#include "base/process_state.h"

std::atomic<uint8_t*> BaseBuffer{nullptr};
std::atomic<SysSemaphore*> EqmOrFrameNotify{nullptr};
bool StayQuiet = false;
bool SourceFailed = false;
bool RestartRequested = false;
std::atomic<int32_t> ErrorCount{0};
time_t AliveSinceTime = 0;
