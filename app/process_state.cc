#include "app/process_state.h"

uint8_t* BaseBuffer = nullptr;
SysSemaphore* EqmOrFrameNotify = nullptr;
bool StayQuiet = false;
bool SourceFailed = false;
bool RestartRequested = false;
std::atomic<int32_t> ErrorCount{0};
time_t AliveSinceTime = 0;
