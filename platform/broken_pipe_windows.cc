// Windows: no SIGPIPE; a write to a pipe without a reader already fails
// (ERROR_NO_DATA), so there is nothing to change.
#include "platform/broken_pipe.h"

void SysIgnoreBrokenPipe() {}
