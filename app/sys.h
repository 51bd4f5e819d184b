// The operating-system wrappers the server uses: one thin function per system call,
// each with the same contract on every platform. The POSIX implementation is in
// sys_posix.cc; nothing else in the server calls the operating system for these.
#pragma once

// An unnamed counting semaphore with a maximum count; releasing beyond the maximum
// fails. Opaque; created by SysCreateSemaphore.
struct SysSemaphore;
