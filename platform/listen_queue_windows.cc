// Windows: listen again on the socket. Winsock answers a second listen with success and
// keeps the queue of the first, so there the length the library chose stays.
#include <winsock2.h>

#include "platform/listen_queue.h"

bool SysSetListenQueue(intptr_t socket, int length) {
  return ::listen(static_cast<SOCKET>(socket), length) == 0;
}
