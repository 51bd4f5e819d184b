// The queue of a listening socket: how many connections the system keeps that are not
// accepted yet. A server library that listens with a queue of a handful leaves the
// connections of a burst beyond it waiting seconds for the peer's system to try again;
// this sets a longer one on a socket the library has bound and listens on already.
//
// Threading: any thread, before connections are accepted from the socket.
#pragma once

#include <cstdint>

// Listens on the bound socket (a POSIX descriptor or a Windows SOCKET) with a queue of
// length connections; on a socket that listens already, only the queue changes. False
// when the system refuses.
bool SysSetListenQueue(intptr_t socket, int length);
