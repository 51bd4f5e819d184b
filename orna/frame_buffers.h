// Reusable memory for the messages that carry frame pixels. A message of megabytes taken
// fresh from the heap for every frame costs the kernel's page faults and page clearing
// each time, because the heap hands such blocks back to the system when ZeroMQ frees
// them; the pool keeps a few blocks of the size in use and hands them out again.
//
// Threading: any thread. Blocks are taken on the server's main thread and given back by
// ZeroMQ, on its I/O thread, once the last copy of the message has been sent.
#pragma once

#include <cstddef>

#include "orna/message.h"

// Replaces the content of MESSAGE by SIZE uninitialised bytes, from the pool when SIZE is
// large enough to be worth it. False when out of memory.
bool OrnaAllocateFrameMessage(OrnaMessage* message, size_t size);
