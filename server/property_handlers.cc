#include "server/property_handlers.h"

#include <cstdio>
#include <ctime>

#include "base/output_values.h"
#include "base/process_state.h"
#include "config/ini_ex_wrap.h"
#include "config/settings_keys.h"
#include "platform/sys.h"
#include "server/device_selection.h"
#include "server/module_context.h"
#include "server/property_table.h"
#include "server/status_codes.h"
#include "source/globals.h"
#include "source/hardware_type.h"

namespace {

// Every property but DoRestart is read-only: a write bit or a missing read bit is
// refused.
bool ReadOnlyAccessAllowed(short access) {
  return (access & ORNA_ACCESS_WRITE) == 0 && (access & ORNA_ACCESS_READ) != 0;
}

int HandleAliveSince(DataObject* dout) {
  struct tm local = {};
  SysLocalTime(AliveSinceTime, &local);
  char stamp[32];
  if (strftime(stamp, sizeof stamp, "%d.%m.%Y %H:%M:%S", &local) == 0) stamp[0] = '\0';
  char text[64];
  snprintf(text, sizeof text, "Alive since: %s", stamp);
  return PutTextOutput(dout, text);
}

int HandleType(DataObject* dout) {
  if (dout == nullptr) return ORNA_ILLEGAL_FORMAT;
  if (dout->format == ORNA_FMT_NAME48)
    return PutTextOutput(dout, AppSettings.GetString(kSectionHardware, kKeyType, ""));
  if (dout->format == ORNA_FMT_INT32)
    return PutLongOutput(dout, GetConfiguredHardwareType(AppSettings));
  return ORNA_ILLEGAL_FORMAT;
}

// A status as its text (531) or its code (515).
int PutStatus(DataObject* dout, int32_t code, const char* text) {
  if (dout == nullptr) return ORNA_ILLEGAL_FORMAT;
  if (dout->format == ORNA_FMT_NAME48) return PutTextOutput(dout, text);
  if (dout->format == ORNA_FMT_INT32) return PutLongOutput(dout, code);
  return ORNA_ILLEGAL_FORMAT;
}

}  // namespace

int HandleDoRestart(DataObject* dout, DataObject* din, short access) {
  int code = kCompletionServerRunning;
  if ((access & ORNA_ACCESS_WRITE) != 0) {
    int32_t value = 0;
    if (GetInputLong(din, &value) == 0 && value == 1) {
      RestartRequested = true;
      code = kCompletionServerRestarting;
    } else {
      code = kCompletionBadRestartMagic;
    }
  }
  if ((access & ORNA_ACCESS_READ) != 0) PutLongOutput(dout, code);
  return code;
}

int HandleProperty(const char* device, const char* property, DataObject* dout,
                   DataObject* din, short access) {
  uint16_t id = LookupPropertyId(device, property);
  // The source's own rows are answered by the source or not at all.
  if (id == kPropertyNone || id >= kFirstSourcePropertyId) return ORNA_ILLEGAL_PROPERTY;
  if (id == kPropertyDoRestart) return HandleDoRestart(dout, din, access);
  if (!ReadOnlyAccessAllowed(access)) return ORNA_ILLEGAL_READ_WRITE;

  switch (id) {
    case kPropertyAliveSince:
      return HandleAliveSince(dout);
    case kPropertyType:
      return HandleType(dout);
    case kPropertyServerStatus: {
      ServerStatus status = ServerStatusCode();
      return PutStatus(dout, status, ServerStatusText(status));
    }
    case kPropertyServerId:
      return PutLongOutput(dout, AppSettings.GetInt(kSectionOrnaServerSettings, kKeyID, 0));
    case kPropertyVersion:
      return PutTextOutput(dout, kVersionText);
    case kPropertySourceName:
      return PutTextOutput(dout, AppSettings.GetString(kSectionImageSource, kKeyName, ""));
    case kPropertySourceId:
      return PutLongOutput(dout, AppSettings.GetInt(kSectionImageSource, kKeyID, 0));
    case kPropertySourceStatus: {
      SourceStatus status = SourceStatusCode();
      return PutStatus(dout, status, SourceStatusText(status));
    }
    case kPropertyFrameRate:
      return PutFloatOutput(dout, ModuleFrameSource().GetFrameRate());
    case kPropertyFrame:
      return HandleFrame(dout, false);
    case kPropertyFrameSched:
      return HandleFrame(dout, true);
    case kPropertyHeader:
      return HandleHeader(dout, false);
    case kPropertyHeaderSched:
      return HandleHeader(dout, true);
    default:
      return ORNA_ILLEGAL_PROPERTY;
  }
}
