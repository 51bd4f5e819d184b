// Fuzz target: requests as hvxserver receives them. At the first run the target starts
// a whole server in the process the way hvxserver starts (settings, the library's
// tuning values, semaphore and BaseBuffer, the library on a loopback port, the
// equipment module, the animation player with a small animation in a scratch
// directory) and connects one client socket to it. Each input
// then carries messages (message_parts.h); each goes, behind that client's routing
// id, through the library's request handling exactly as the server cycle hands it
// over, followed by the cycle's serving of scheduled properties and contract timers.
// The answers reach the client and are thrown away; at the end of an input the client
// loses its subscriptions, so that every input starts from the same contracts.
#include <stdlib.h>
#include <unistd.h>
#include <zmq.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <new>
#include <string>
#include <thread>

#include "base/log.h"
#include "base/process_state.h"
#include "config/ini_ex_wrap.h"
#include "config/settings_keys.h"
#include "fuzz/message_parts.h"
#include "fuzz/parts_of.h"
#include "fuzz/scratch_dir.h"
#include "orna/contract_service.h"
#include "orna/requests.h"
#include "orna/server_state.h"
#include "orna/wire.h"
#include "platform/sys_testing.h"
#include "server/equipment_module.h"
#include "server/library_tuning.h"
#include "source/animation_file.h"
#include "source/frame_slot.h"
#include "source/globals.h"
#include "source/hardware_control.h"

namespace {

constexpr char kSettings[] = R"(<?xml version="1.0" ?>
<CIniExWrap>
  <Hardware>
    <Type>AnimationPlayback</Type>
    <EffectiveBitsPerPixel>8</EffectiveBitsPerPixel>
    <AnimationFile>fuzz.imm</AnimationFile>
    <LimitFramerate>50</LimitFramerate>
  </Hardware>
  <ImageSource><Name>fuzz animation</Name><ID>3</ID></ImageSource>
  <OrnaServerSettings>
    <Context>FUZZ</Context><ServerName>HVX.FUZZ</ServerName><PortOffset>0</PortOffset>
    <EquipmentModuleName>HVXEQM</EquipmentModuleName><FecName>HVXFUZZ</FecName>
    <FecDescription>fuzzed server</FecDescription><FecLocation>here</FecLocation>
    <FecHardware>pc</FecHardware><FecResponsible>fuzz</FecResponsible>
    <Subsystem>VIDEO</Subsystem><ID>7</ID><Name>hvx-fuzz</Name>
  </OrnaServerSettings>
  <OrnaVideoService><Context>FUZZ</Context><ServerName>NOSERVICE</ServerName></OrnaVideoService>
</CIniExWrap>
)";

const std::string kClientId = "fuzz-client";
void* gClientContext = nullptr;
void* gClient = nullptr;

// Four frames of 32 x 16 pixels, 8 bits each.
void WriteAnimation() {
  AnimationGeometry geometry;
  geometry.width = 32;
  geometry.height = 16;
  const size_t pixels = size_t{geometry.width} * geometry.height;
  std::string file;
  for (int frame = 0; frame < 4; ++frame) {
    uint8_t lead[kRecordLeadSize];
    EncodeRecordLead(geometry, lead);
    file.append(reinterpret_cast<const char*>(lead), sizeof lead);
    file.append(pixels, static_cast<char>(frame * 16));
    file.append(kRecordTrailSize, '\0');
  }
  WriteScratchFile("fuzz.imm", reinterpret_cast<const uint8_t*>(file.data()), file.size());
}

// _SystemInit on a free port: the base port is tried from a place that depends on the
// process, so that fuzzers running side by side don't meet.
void InitLibrary() {
  int base = 20000 + static_cast<int>(getpid() % 20000);
  for (int attempt = 0; attempt < 50; ++attempt, base += 97) {
    setenv("ORNA_BASE_PORT", std::to_string(base).c_str(), 1);
    int result = _SystemInit(1);
    if (result == ORNA_OK) return;
    if (result != ORNA_ADDRESS_IN_USE) break;
  }
  fprintf(stderr, "fuzz: the library could not be started\n");
  exit(2);
}

const char* Setting(const char* key) {
  return AppSettings.GetString(kSectionOrnaServerSettings, key, "");
}

// The server's start-up before the library's initialisation, without its command line,
// configuration fetch and console: settings, tuning values, semaphore, BaseBuffer and
// the front end. A failure ends the fuzz run.
void StartServer() {
  TuneLibrary();
  SetLogSinks(false, false, true, false);  // HVX.log in the scratch directory only
  uint8_t* buffer = new (std::nothrow) uint8_t[kBaseBufferSize];
  SysSemaphore* semaphore = SysCreateSemaphore(1, 1);
  if (!AppSettings.Open(kSettingsFileName, true, true, false) || buffer == nullptr ||
      semaphore == nullptr) {
    fprintf(stderr, "fuzz: the server could not be set up\n");
    exit(2);
  }
  BaseBuffer.store(buffer);
  EqmOrFrameNotify.store(semaphore);
  if (RegisterFecInformation(Setting(kKeyFecName), Setting(kKeySubsystem), Setting(kKeyContext),
                             Setting(kKeyFecDescription), Setting(kKeyFecLocation),
                             Setting(kKeyFecHardware), Setting(kKeyFecResponsible),
                             AppSettings.GetInt(kSectionOrnaServerSettings, kKeyPortOffset, 0)) !=
      ORNA_OK) {
    fprintf(stderr, "fuzz: the front end could not be registered\n");
    exit(2);
  }
}

// The start-up after it: the equipment module (without background task and exit
// function, which belong to the server process) and the frame source.
void StartModule() {
  if (RegisterEquipmentModule(Setting(kKeyServerName), Setting(kKeyEquipmentModuleName),
                              ModuleDeviceCount(), EquipmentFunctionHVX, EquipmentModuleInit,
                              nullptr, 0, nullptr) != ORNA_OK ||
      !FrameSource.Initialize(AppSettings, OnNewFrameNotify, BaseBuffer.load(), kFrameSlotCount)) {
    fprintf(stderr, "fuzz: the equipment module could not be started\n");
    exit(2);
  }
  AliveSinceTime = time(nullptr);
}

// Runs server cycles until the client's describe request has been answered, so that
// the server's socket knows the client's routing id.
void ConnectClient() {
  gClientContext = zmq_ctx_new();
  gClient = zmq_socket(gClientContext, ZMQ_DEALER);
  zmq_setsockopt(gClient, ZMQ_ROUTING_ID, kClientId.data(), kClientId.size());
  zmq_connect(gClient, Server().endpoint.c_str());
  orna_wire::RequestHeader request;
  request.kind = orna_wire::kDescribe;
  uint8_t bytes[orna_wire::kRequestHeaderSize];
  orna_wire::EncodeRequest(request, bytes);
  zmq_send(gClient, bytes, sizeof bytes, 0);
  for (int i = 0; i < 200; ++i) {
    _SystemCycle(0);
    char answer[orna_wire::kReplyHeaderSize];
    if (zmq_recv(gClient, answer, sizeof answer, ZMQ_DONTWAIT) > 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  fprintf(stderr, "fuzz: the client could not reach the server\n");
  exit(2);
}

void DrainClient() {
  zmq_msg_t message;
  zmq_msg_init(&message);
  while (zmq_msg_recv(&message, gClient, ZMQ_DONTWAIT) >= 0) {
  }
  zmq_msg_close(&message);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string& dir = ScratchDir();
  std::string executable = dir + "/hvxserver";
  SysSetModuleFileNameForTesting(executable.c_str());
  // AppSettings learnt the executable's directory when it was constructed, before the
  // one above was posed: construct it again now.
  AppSettings.~CIniExWrap();
  new (&AppSettings) CIniExWrap();
  setenv("ORNA_NAMES_DIR", (dir + "/names").c_str(), 1);
  WriteScratchFile(kSettingsFileName, reinterpret_cast<const uint8_t*>(kSettings),
                   sizeof kSettings - 1);
  WriteAnimation();

  StartServer();
  SetUseLoopback(1);
  // The server's work area holds a 6 MB frame. Outputs that large would cost the
  // fuzzer a hundred times more per input (the copy, the socket, the client) while
  // taking the same path as a small one; with a 64 KB area, which still holds a frame
  // of the animation above, an output beyond the area is refused as it is in the server.
  setWorkAreaSize(64 * 1024);
  InitLibrary();
  StartModule();
  ConnectClient();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  OrnaServer& server = Server();
  for (const FuzzMessage& message : SplitFuzzMessages(data, size)) {
    OrnaParts parts;
    FillParts(&kClientId, message, &parts);
    OrnaServeMessage(parts);
  }
  OrnaServeScheduled();
  OrnaServeContractTimers();
  // An accepted SRVEXIT would end the server in its cycle; here the next input goes on.
  server.exitRequested = false;
  OrnaForgetClient(server.contracts, kClientId);
  DrainClient();
  return 0;
}
