// The library's tuning values, as the application sets them before _SystemInit.
// Main thread only; the server side reads them from its cycle.
#pragma once

#include <ctime>

struct OrnaTuning {
  int burstLimit = 1000;        // requests served per cycle
  int cycleDelayMs = 0;         // pause after each cycle
  bool loopbackOnly = false;    // bind the server on 127.0.0.1 only
  int workAreaSize = 1 << 20;   // largest output of one call, in bytes
  int packetMtu = 65536;        // largest request frame accepted, in bytes
  int queueDepth = 16;          // messages queued per client, each way
  time_t appDate = 0;
  int version[3] = {0, 0, 0};
};

OrnaTuning& Tuning();
