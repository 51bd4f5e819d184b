#include "platform/wake_signal.h"

#include <winsock2.h>
#include <ws2tcpip.h>

struct SysWakeSignal {
  SOCKET socket = INVALID_SOCKET;
};

SysWakeSignal* SysCreateWakeSignal() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return nullptr;
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  int length = sizeof address;
  u_long nonBlocking = 1;
  // Bound to a port of its own on the loopback and connected to itself: only its own
  // datagrams reach it.
  if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    if (s != INVALID_SOCKET) closesocket(s);
    WSACleanup();
    return nullptr;
  }
  SysWakeSignal* signal = new SysWakeSignal;
  signal->socket = s;
  return signal;
}

void SysRaiseWakeSignal(SysWakeSignal* signal) {
  const char one = 1;
  send(signal->socket, &one, 1, 0);
}

void SysClearWakeSignal(SysWakeSignal* signal) {
  char bytes[64];
  // Bounded: raises are one per frame and cleared every cycle.
  for (int i = 0; i < 1024 && recv(signal->socket, bytes, sizeof bytes, 0) > 0; ++i) {
  }
}

uint64_t SysWakeSignalHandle(const SysWakeSignal* signal) {
  return static_cast<uint64_t>(signal->socket);
}

void SysCloseWakeSignal(SysWakeSignal* signal) {
  if (signal == nullptr) return;
  closesocket(signal->socket);
  WSACleanup();
  delete signal;
}
