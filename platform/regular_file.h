// Opening a file that must be an ordinary file: a FIFO, a device or a directory named
// where an animation file is expected is refused at once, never waited on (opening a
// FIFO for reading would block until a writer came) and never read as if it were a
// short file. One implementation file per platform, chosen by the build.
//
// Threading: any thread.
#pragma once

#include <cstdint>
#include <cstdio>

// The file at PATH opened for reading in binary mode; null when it can't be opened or
// is not a regular file. With MISSING given, *missing tells whether the null answer
// means that nothing is at PATH.
FILE* OpenRegularFileForReading(const char* path, bool* missing = nullptr);

// The size in bytes of an open file, also beyond 2 GiB on every platform (a long or an
// off_t may be 32 bits wide); the file's position is left alone. False when the system
// can't tell.
bool RegularFileSize(FILE* file, uint64_t* size);
