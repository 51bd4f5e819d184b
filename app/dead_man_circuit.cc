#include "app/dead_man_circuit.h"

#include <cstring>

#include "base/log.h"
#include "config/ini_ex_wrap.h"
#include "platform/registry.h"

namespace {

constexpr char kHeartbeatValue[] = "on";

void ReadConfiguration(DeadManCircuit* circuit, const CIniExWrap& settings) {
  const char* name = settings.GetString(kSectionOrnaServerSettings, kKeyDeadManCircuitName, "");
  if (name[0] == '\0') {
    DoLog("Dead Man Detection Circuit not enabled! (\"DeadManCircuitName\" not set in config)");
  } else {
    size_t length = strnlen(name, kDeadManCircuitNameLimit);
    memcpy(circuit->tag, name, length);
    circuit->tag[length] = '\0';
    DoLog("Dead Man Detection Circuit Enabled (tag=\"%s[on/off]\")", circuit->tag);
    circuit->on = true;
  }
  circuit->configurationRead = true;
}

}  // namespace

void RunDeadManCircuit(DeadManCircuit* circuit, const CIniExWrap& settings) {
  if (!circuit->configurationRead) ReadConfiguration(circuit, settings);
  if (!circuit->on) return;

  SysRegistryKey* key = nullptr;
  int32_t r = SysRegOpenKeyForSetValue(kSysRegEnvironmentKey, &key);
  int32_t r1 = 0, r2 = 0, r3 = 0;
  if (r == kSysRegOk) {
    // Each step runs whatever the one before answered, so that the key is always
    // closed and every code can be reported.
    r1 = SysRegSetStringValue(key, circuit->tag, kHeartbeatValue, sizeof kHeartbeatValue);
    r2 = SysRegFlushKey(key);
    r3 = SysRegCloseKey(key);
  }
  bool ok = r == 0 && r1 == 0 && r2 == 0 && r3 == 0;
  if (ok && circuit->errorReported) {
    DoLog("WW: dead man detection circuit: end of error");
    circuit->errorReported = false;
  } else if (!ok && !circuit->errorReported) {
    DoLog("WW: dead man detection circuit: error (no dead man!) r=%d, r1=%d, r2=%d, r3=%d", r,
          r1, r2, r3);
    DoLog("WW: dead man detection circuit: subsequent errors will not be printed (they might "
          "overflow the logfile)");
    DoLog("WW: dead man detection circuit: a message \"end of error\" is printed if error goes "
          "away");
    circuit->errorReported = true;
  }
}
