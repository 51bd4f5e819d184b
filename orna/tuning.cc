// Tuning values and the variables the application sets directly.
#include "orna/tuning.h"

#include <cstdint>

#include "orna/orna_api.h"

int32_t ornaDebug = 0;
int32_t gAllowRemoteExit = 0;
int32_t MaxNumContracts = 100;
int16_t MinPollingRate = 20;
int32_t FeclogDepth = 1000;

OrnaTuning& Tuning() {
  static OrnaTuning tuning;
  return tuning;
}

int SetBurstLimit(int requests) {
  if (requests <= 0) return ORNA_INVALID_ARGUMENT;
  Tuning().burstLimit = requests;
  return ORNA_OK;
}

int SetCycleDelay(int milliseconds) {
  if (milliseconds < 0) return ORNA_INVALID_ARGUMENT;
  Tuning().cycleDelayMs = milliseconds;
  return ORNA_OK;
}

int SetUseLoopback(int on) {
  Tuning().loopbackOnly = on != 0;
  return ORNA_OK;
}

int setWorkAreaSize(int bytes) {
  if (bytes < 1024) return ORNA_INVALID_ARGUMENT;
  Tuning().workAreaSize = bytes;
  return ORNA_OK;
}

int SetPacketMTU(int bytes) {
  // A request header must always fit.
  if (bytes < 1024) return ORNA_INVALID_ARGUMENT;
  Tuning().packetMtu = bytes;
  return ORNA_OK;
}

int _SystemAssignBufferSpace(int totalBytes, int packetBytes) {
  if (totalBytes <= 0 || packetBytes <= 0) return ORNA_INVALID_ARGUMENT;
  int depth = totalBytes / packetBytes;
  Tuning().queueDepth = depth < 2 ? 2 : depth;
  return ORNA_OK;
}

int SetAppDate(time_t buildTime) {
  Tuning().appDate = buildTime;
  return ORNA_OK;
}

int SetAppVersion(int major, int minor, int build) {
  Tuning().version[0] = major;
  Tuning().version[1] = minor;
  Tuning().version[2] = build;
  return ORNA_OK;
}
