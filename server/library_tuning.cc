#include "server/library_tuning.h"

#include "orna/orna_api.h"

void TuneLibrary() {
  gAllowRemoteExit = 1;
  MaxNumContracts = 1000;
  MinPollingRate = 50;
  SetUseLoopback(0);
  setWorkAreaSize(6301456);
  SetPacketMTU(64000);
  _SystemAssignBufferSpace(524288, 64000);
}
