// POSIX: listen again on the socket; the new queue length replaces the old one.
#include <sys/socket.h>

#include "platform/listen_queue.h"

bool SysSetListenQueue(intptr_t socket, int length) {
  return ::listen(static_cast<int>(socket), length) == 0;
}
