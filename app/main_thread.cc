#include "app/main_thread.h"

#include <thread>

namespace {

std::thread::id gMainThread;  // written once before other threads start

}  // namespace

void RememberMainThread() { gMainThread = std::this_thread::get_id(); }

bool IsMainThread() { return std::this_thread::get_id() == gMainThread; }
