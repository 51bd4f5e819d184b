// Writes to a pipe or socket whose reader has gone. On POSIX such a write raises
// SIGPIPE, whose default action ends the process without a word; a program that writes
// its log or output to a pipe (`hvxserver 2>&1 | head -1`) would die at its next line.
// Ignoring it turns such a write into a failed write (EPIPE) that the program goes on
// from. Windows has no such signal: a write to a closed pipe fails there already.
//
// Threading: call once, on the main thread, at the start of main, before other threads
// are started.
#pragma once

// Makes a write to a pipe without a reader fail instead of ending the process.
void SysIgnoreBrokenPipe();
