// Which thread is the main thread: the one that ran RememberMainThread, at the very
// start of the entry point. Threads that run callbacks of the library (equipment
// function, background task, exit function) are the main thread.
//
// Threading: RememberMainThread once, before other threads start; IsMainThread from
// any thread.
#pragma once

void RememberMainThread();
bool IsMainThread();
