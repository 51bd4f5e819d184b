// videoservice: the ORNA video service that keeps the settings of frame servers
// centrally. It serves device MPServer with property GetCfgForSrvID: the input is a
// server identifier (one int32), the output the text of that server's settings file
// from the configuration directory (see config_store.h), or "Stay Quiet" (700).
//
//   videoservice --context C --server S --config-dir DIR [--port-offset N]
//
// The service runs until it is sent SRVEXIT or is stopped. CLI11 reports command-line
// errors by exception, which is caught here (exit status 2, 0 for --help).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstring>
#include <string>

#include "orna/orna_api.h"
#include "platform/broken_pipe.h"
#include "tools/videoservice/config_store.h"

namespace {

constexpr char kModule[] = "VIDSVC";
constexpr char kDevice[] = "MPServer";
constexpr char kProperty[] = "GetCfgForSrvID";
constexpr char kDescription[] = "settings file of a frame server by its ID";

std::string gConfigDirectory;  // set before the library runs; read on the main thread
PropertyQueryRecord gRecord;   // the one property, for the library's listings

int Equipment(const char* device, const char* property, DataObject* dout, DataObject* din,
              short access) {
  (void)access;
  if (strcmp(device, kDevice) != 0) return ORNA_ILLEGAL_DEVICE;
  if (strcmp(property, kProperty) != 0) return ORNA_ILLEGAL_PROPERTY;
  if (dout == nullptr || dout->format != ORNA_FMT_TEXT || dout->data == nullptr)
    return ORNA_ILLEGAL_FORMAT;
  if (din == nullptr || din->count < 1) return ORNA_DIMENSION_ERROR;
  int32_t id = 0;
  if (getValuesAsLong(din, &id, 1) != 0) return ORNA_INVALID_ARGUMENT;

  int32_t capacity = dout->count < kConfigSizeLimit ? dout->count : kConfigSizeLimit;
  int32_t size = 0;
  int32_t answer =
      LookUpServerConfig(gConfigDirectory.c_str(), id, static_cast<char*>(dout->data), capacity,
                         &size);
  dout->count = size;
  dout->stamp = makeDataTimeStamp();
  if (answer > 512) SetEqmCompletion(kModule, ConfigAnswerText(answer));
  printf("GetCfgForSrvID(%d) -> %d, %d bytes\n", id, answer, size);
  fflush(stdout);
  return answer;
}

int Query(const char* device, PropertyQueryRecord** records) {
  if (strcmp(device, kDevice) != 0) return 0;
  *records = &gRecord;
  return 1;
}

void Init() {
  snprintf(gRecord.name, sizeof gRecord.name, "%s", kProperty);
  snprintf(gRecord.description, sizeof gRecord.description, "%s", kDescription);
  gRecord.outSize = kConfigSizeLimit;
  gRecord.inSize = 1;
  gRecord.outFormat = uint8_t(ORNA_FMT_TEXT - 512);
  gRecord.inFormat = uint8_t(ORNA_FMT_INT32 - 512);
  gRecord.access = ORNA_ACCESS_READ | ORNA_ACCESS_WRITE;
  if (RegisterXPropertyQueryFunction(kModule, Query, 1) != 0 ||
      RegisterDeviceName(kModule, kDevice, 0) != 0 ||
      RegisterPropertyEx(kModule, kProperty, kConfigSizeLimit, ORNA_FMT_TEXT,
                         ORNA_ACCESS_READ | ORNA_ACCESS_WRITE, kDescription, 1) <= 0) {
    fprintf(stderr, "videoservice: the device could not be registered\n");
    exit(3);
  }
}

void Exit() {
  printf("videoservice: exiting\n");
  fflush(stdout);
}

const char* ErrorText(int code) {
  return code >= 0 && code < ORNA_ERRLST_SIZE ? erlst[code] : "unknown error";
}

}  // namespace

int main(int argc, char** argv) {
  // A reader of standard output that has gone (`... | head -1`) is a failed write, not
  // the end of the program.
  SysIgnoreBrokenPipe();
  CLI::App app{"videoservice: hands frame servers their settings files (ORNA video service)"};
  std::string context, server;
  int portOffset = 0;
  app.add_option("--context", context, "ORNA context of the service")->required();
  app.add_option("--server", server, "ORNA server name of the service")->required();
  app.add_option("--port-offset", portOffset, "port offset from ORNA_BASE_PORT")
      ->capture_default_str()
      ->check(CLI::Range(0, 65535));
  app.add_option("--config-dir", gConfigDirectory,
                 "directory of <ID>.xml settings files and <ID>.quiet marks")
      ->required()
      ->check(CLI::ExistingDirectory);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error);
  }

  gAllowRemoteExit = 1;
  setWorkAreaSize(kConfigSizeLimit + 1024);
  int r = RegisterFecInformation("VIDSVC", "VIDEO", context.c_str(), "ORNA video service",
                                 "here", "pc", "operator", portOffset);
  if (r == 0) r = _SystemInit(1);
  if (r != 0) {
    fprintf(stderr, "videoservice: init error: %s\n", ErrorText(r));
    return 1;
  }
  r = RegisterEquipmentModule(server.c_str(), kModule, 1, Equipment, Init, nullptr, 1000, Exit);
  if (r != 0) {
    fprintf(stderr, "videoservice: module error: %s\n", ErrorText(r));
    return 1;
  }
  printf("videoservice: serving /%s/%s/%s from %s\n", context.c_str(), server.c_str(), kDevice,
         gConfigDirectory.c_str());
  fflush(stdout);
  for (;;) _SystemCycle(1);
}
