// The server side of the library in one place: identity, registered module, devices
// and properties, the transport, the contracts, the timers and the counters.
//
// Main thread only, except `schedule`, which has its own mutex because
// _SystemScheduleProperty may be called from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "orna/contracts.h"
#include "orna/orna_api.h"
#include "platform/annotated_mutex.h"
#include "platform/wake_signal.h"

using OrnaClock = std::chrono::steady_clock;

struct OrnaDevice {
  std::string name;
  int number = 0;
};

struct OrnaProperty {
  std::string name;
  std::string description;
  int outSize = 0;
  short outFormat = 0;
  unsigned char access = 0;
  int id = 0;
};

// Properties asked for by _SystemScheduleProperty and not yet served.
struct OrnaSchedule {
  Mutex mutex;
  std::string moduleName GUARDED_BY(mutex);  // copy of the registered module name
  bool open GUARDED_BY(mutex) = false;       // the transport exists and may be woken
  std::set<std::string> pending GUARDED_BY(mutex);
  bool woken GUARDED_BY(mutex) = false;      // the wake signal is raised
  SysWakeSignal* wake GUARDED_BY(mutex) = nullptr;  // the server's, while it is open
};

struct OrnaCounters {
  uint64_t requests = 0;
  uint64_t malformed = 0;
  uint64_t deliveries = 0;      // deliveries to subscribers (messages and doorbell)
  uint64_t doorbellDeliveries = 0;  // of those, listed in the frame ring: no message sent
  uint64_t dropped = 0;         // messages dropped because a client's queue was full
  uint64_t pixelCopies = 0;     // frames copied out of the module's memory
};

struct OrnaServer {
  // Front end, from RegisterFecInformation.
  bool fecRegistered = false;
  std::string fecName, subsystem, context, description, location, hardware, responsible;
  int portOffset = 0;

  // Transport, from _SystemInit.
  bool initialized = false;
  void* context0mq = nullptr;
  void* router = nullptr;
  SysWakeSignal* wake = nullptr;  // raised by schedules, waited on by the cycle
  int port = 0;
  std::string endpoint;  // what clients connect to
  // The endpoint clients on other hosts connect to: the bind address, or the host name
  // when the server listens on every interface.
  std::string sharedEndpoint;

  // Equipment module, from RegisterEquipmentModule.
  bool moduleRegistered = false;
  bool published = false;
  std::string serverName, moduleName;
  int deviceCount = 0;
  OrnaEquipmentFunction equipmentFunction = nullptr;
  OrnaBackgroundFunction backgroundFunction = nullptr;
  OrnaExitFunction exitFunction = nullptr;
  int backgroundIntervalMs = 0;
  OrnaClock::time_point nextBackground;
  OrnaQueryFunction queryFunction = nullptr;
  int queryMaxRecords = 0;
  std::vector<OrnaDevice> devices;
  std::vector<OrnaProperty> properties;

  // The call being served: SetEqmCompletion is valid only inside it.
  bool inCall = false;
  std::string completion;

  // Aligned scratch memory for the outputs of calls, at most the work area.
  std::vector<uint64_t> workArea;

  OrnaContracts contracts;
  // Properties the module has scheduled at least once; their contracts are served
  // from the scheduled reads.
  std::set<std::string> scheduledProperties;
  OrnaCounters counters;
  bool exitRequested = false;
};

OrnaServer& Server();
OrnaSchedule& Schedule();
