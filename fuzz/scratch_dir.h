// A private temporary directory for one fuzzing process: the targets whose code reads
// files (settings, animations) write each input into a file there. Made at the first
// call in $TMPDIR when it is set, else in memory-backed /dev/shm where the machine has
// it, else in /tmp; removed when the process ends normally (a crash leaves it, so
// scripts/fuzz.sh points TMPDIR into its own scratch directory).
//
// Threading: the fuzzing thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The directory, without a trailing separator; the process ends with a message when
// none can be made.
const std::string& ScratchDir();

// Writes size bytes at data over the file name in ScratchDir(); answers its full path.
// The process ends with a message when the file can't be written.
std::string WriteScratchFile(const char* name, const uint8_t* data, size_t size);
