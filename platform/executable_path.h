// Where the executable lies: the server finds all its files (log, settings, animation)
// in the executable's directory, whatever the current directory is.
//
// Threading: any thread; both functions work on the caller's buffers only.
#pragma once

#include <cstddef>

// The directory of the running executable into buffer, without a trailing separator,
// except that an executable in the root directory gives the root itself. The
// executable's full file name is read with room for moduleNameRoom characters; when
// it can't be read, or buffer is too small for the directory, buffer holds an empty
// text. size must be at least 1.
void GetExecutableDirectory(char* buffer, size_t size, size_t moduleNameRoom);

// directory, a separator unless directory is empty or already ends with one, then
// fileName; directory empty gives fileName alone. Cut to size - 1 characters. Answers
// false when the text had to be cut.
bool JoinPath(const char* directory, const char* fileName, char* buffer, size_t size);
