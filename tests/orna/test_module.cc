// A small equipment module for testing the library on loopback: one property per
// data format, properties that answer chosen codes, a frame source that schedules
// its frames, and a background task that counts its runs.
//
//   orna_test_server --context C --server S [--port-offset N] [--allow-exit 0|1]
//                    [--max-contracts N] [--frame-bytes N] [--frame-hz F]
//                    [--background-ms N] [--min-polling N] [--work-area N]
//                    [--query-max N] [--slow-ms N]
//
// --query-max is the most records the library may take from one answer of the
// query function (default 8); --slow-ms how long property Slow takes (default 300).
// The server's version is 1.2.3, its build date "Dec  2 2008" "11:18:08". On SRVEXIT
// the exit function stops the frame thread and prints "exit function".
//
// Properties of device "Dev" (and "Other", whose query record lists only Text; names
// select a device by their beginning, letters in any case: "dev", "DEVICE", "other2"):
//   Double 512 (2.5 per element), Bytes 514 (i & 0xff), Int 515 (read 42, or the last
//   value written), Text 516 ("hello orna"), Float 517 (1.5), Name48 531 ("forty-eight"),
//   Frame / Frame.Sched 567 (the current frame; .Sched answers 516 once sent; 517
//   before the first frame), Frame.NoPixels (the current frame without the pixel
//   address in DataObject::pixels, as a handler that forgot it would answer),
//   Frame.Lent (the current frame with its slot lent through DataObject::releasePixels,
//   as Frame.Sched too does), Frame.LentBadCount (lent, but claiming one pixel more
//   than the count asked for), Loans (three int32: slots lent, loans released, and
//   misuses: a call or a second release while a loan was out, a release of none),
//   Access (the access bits as int32), Result (answers the int32 written to it, with
//   completion text "completion <code>" when above 512; from 1000 on the text is
//   "long completion <code>" followed by dots up to 80 characters, longer than the
//   wire carries), Counter (reads so far), Slow (sleeps --slow-ms, then 1), Background
//   (runs of the background task), Echo (write text, read it back), Numbers.Sched (int32,
//   scheduled with every frame: COUNT copies of the current frame's number, refused with
//   23 for a count above 4, as a property whose answer can't grow would).
//
// Frames: frame N (from 1) has "QDR3" at 0, N at 136, the pixel count at 184 and 188,
// the low 32 bits of the pixel address at 192, and pixel i is (N + i) & 0xff.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "orna/orna_api.h"

namespace {

const char* kModule = "TSTMOD";
int frameBytes = 1024;  // set before the frame thread starts

// Slots of prefix + pixels. The library copies the pixels of the slot a call answered
// after the equipment function has returned, so the frame thread leaves that slot
// alone until a later frame call has taken the mutex (which orders the copy before the
// next write), and a lent slot until the library releases it; it writes into another.
struct FrameStore {
  std::mutex mutex;  // guards the fields below; the slots' bytes as described above
  std::condition_variable stopped;
  std::vector<uint8_t> slots[4];
  int current = -1;     // slot of the newest frame
  uint32_t number = 0;  // the newest frame's number
  int lastServed = -1;  // slot of the latest frame call
  int lent = -1;        // slot lent to the library, until it releases it
  bool sent = false;    // the newest frame went out through Frame.Sched
  bool stop = false;
  int32_t loans = 0, releases = 0, misuses = 0;
};
FrameStore frames;
std::thread frameThread;
int32_t lastWritten = 42;
int counter = 0;
int backgroundRuns = 0;
std::string echo = "";
int queryMax = 8;
int slowMs = 300;

int PutInt(DataObject* out, int32_t v) {
  if (out == nullptr) return ORNA_ILLEGAL_FORMAT;
  if (out->count < 1) return ORNA_DIMENSION_ERROR;
  if (out->format != ORNA_FMT_INT32) return ORNA_ILLEGAL_FORMAT;
  memcpy(out->data, &v, 4);
  out->count = 1;
  out->stamp = makeDataTimeStamp();
  return ORNA_OK;
}

int PutText(DataObject* out, const char* text) {
  if (out == nullptr) return ORNA_ILLEGAL_FORMAT;
  if (out->count < 1) return ORNA_DIMENSION_ERROR;
  size_t n = strlen(text) + 1;
  if (out->format == ORNA_FMT_TEXT) {
    memcpy(out->data, text, n < (size_t)out->count ? n : (size_t)out->count);
  } else if (out->format == ORNA_FMT_NAME48) {
    memset(out->data, 0, 48);
    memcpy(out->data, text, n < 48 ? n : 48);
    out->count = 1;
  } else {
    return ORNA_ILLEGAL_FORMAT;
  }
  return ORNA_OK;
}

void ReleaseLoan(void* context) {
  std::lock_guard<std::mutex> lock(frames.mutex);
  if (frames.lent < 0 || frames.lent != (int)(intptr_t)context) {
    ++frames.misuses;
    return;
  }
  frames.lent = -1;
  ++frames.releases;
}

enum class Pixels { kAddress, kNone, kLent, kLentBadCount };

int ServeFrame(DataObject* out, bool scheduled, Pixels pixels) {
  std::lock_guard<std::mutex> lock(frames.mutex);
  if (frames.current < 0) return 517;
  if (scheduled && frames.sent) return 516;
  if (out == nullptr || out->format != ORNA_FMT_IMAGE) return ORNA_ILLEGAL_FORMAT;
  if (out->count < frameBytes) return ORNA_DIMENSION_ERROR;
  uint8_t* slot = frames.slots[frames.current].data();
  memcpy(out->data, slot, ORNA_FRAME_PREFIX_SIZE);
  if (pixels != Pixels::kNone) out->pixels = slot + ORNA_FRAME_PREFIX_SIZE;
  out->count = frameBytes;
  if (pixels == Pixels::kLent || pixels == Pixels::kLentBadCount) {
    frames.lent = frames.current;
    ++frames.loans;
    out->releasePixels = ReleaseLoan;
    out->releaseContext = (void*)(intptr_t)frames.current;
    if (pixels == Pixels::kLentBadCount) out->count = out->count + 1;
  }
  frames.lastServed = frames.current;
  if (scheduled) frames.sent = true;
  return ORNA_OK;
}

int PutLoans(DataObject* out) {
  if (out == nullptr || out->format != ORNA_FMT_INT32) return ORNA_ILLEGAL_FORMAT;
  if (out->count < 3) return ORNA_DIMENSION_ERROR;
  std::lock_guard<std::mutex> lock(frames.mutex);
  int32_t values[3] = {frames.loans, frames.releases, frames.misuses};
  memcpy(out->data, values, sizeof values);
  out->count = 3;
  return ORNA_OK;
}

int PutNumbers(DataObject* out) {
  std::lock_guard<std::mutex> lock(frames.mutex);
  if (frames.current < 0) return 517;
  if (out == nullptr || out->format != ORNA_FMT_INT32) return ORNA_ILLEGAL_FORMAT;
  if (out->count < 1 || out->count > 4) return ORNA_DIMENSION_ERROR;
  for (int i = 0; i < out->count; ++i) memcpy((char*)out->data + 4 * i, &frames.number, 4);
  return ORNA_OK;
}

int Equipment(const char* device, const char* property, DataObject* out, DataObject* in,
              short access) {
  (void)device;
  std::string p = property;
  int32_t value = 0;
  {
    // The library must give a loan back before it calls the module again.
    std::lock_guard<std::mutex> lock(frames.mutex);
    if (frames.lent >= 0) ++frames.misuses;
  }
  if (p == "Double" || p == "Float") {
    if (out == nullptr || out->count < 1) return out == nullptr ? ORNA_ILLEGAL_FORMAT : ORNA_DIMENSION_ERROR;
    for (int i = 0; i < out->count; ++i) {
      if (out->format == ORNA_FMT_DOUBLE) { double d = 2.5; memcpy((char*)out->data + 8 * i, &d, 8); }
      else if (out->format == ORNA_FMT_FLOAT) { float f = 1.5f; memcpy((char*)out->data + 4 * i, &f, 4); }
      else return ORNA_ILLEGAL_FORMAT;
    }
    return ORNA_OK;
  }
  if (p == "Bytes") {
    if (out == nullptr || out->format != ORNA_FMT_BYTE) return ORNA_ILLEGAL_FORMAT;
    for (int i = 0; i < out->count; ++i) ((uint8_t*)out->data)[i] = uint8_t(i);
    return ORNA_OK;
  }
  if (p == "Int") {
    if ((access & ORNA_ACCESS_WRITE) != 0) {
      if (getValuesAsLong(in, &value, 1) != ORNA_OK) return ORNA_DIMENSION_ERROR;
      lastWritten = value;
    }
    return (access & ORNA_ACCESS_READ) != 0 ? PutInt(out, lastWritten) : ORNA_OK;
  }
  if (p == "Text") return PutText(out, "hello orna");
  if (p == "Name48") return PutText(out, "forty-eight");
  if (p == "Echo") {
    if ((access & ORNA_ACCESS_WRITE) != 0 && in != nullptr && in->format == ORNA_FMT_TEXT)
      echo.assign((const char*)in->data, strnlen((const char*)in->data, in->count));
    return (access & ORNA_ACCESS_READ) != 0 ? PutText(out, echo.c_str()) : ORNA_OK;
  }
  if (p == "Access") return PutInt(out, access);
  if (p == "Counter") return PutInt(out, ++counter);
  if (p == "Background") return PutInt(out, backgroundRuns);
  if (p == "Slow") {
    std::this_thread::sleep_for(std::chrono::milliseconds(slowMs));
    return PutInt(out, 1);
  }
  if (p == "Result") {
    if (getValuesAsLong(in, &value, 1) != ORNA_OK) return ORNA_DIMENSION_ERROR;
    if (value >= 1000) {
      std::string text = "long completion " + std::to_string(value);
      text.resize(80, '.');
      SetEqmCompletion(kModule, text.c_str());
    } else if (value > 512) {
      std::string text = "completion " + std::to_string(value);
      SetEqmCompletion(kModule, text.c_str());
    }
    return value;
  }
  if (p == "Frame") return ServeFrame(out, false, Pixels::kAddress);
  if (p == "Frame.Sched") return ServeFrame(out, true, Pixels::kLent);
  if (p == "Frame.NoPixels") return ServeFrame(out, false, Pixels::kNone);
  if (p == "Frame.Lent") return ServeFrame(out, false, Pixels::kLent);
  if (p == "Frame.LentBadCount") return ServeFrame(out, false, Pixels::kLentBadCount);
  if (p == "Loans") return PutLoans(out);
  if (p == "Numbers.Sched") return PutNumbers(out);
  return ORNA_ILLEGAL_PROPERTY;
}

PropertyQueryRecord records[16];
int recordCount = 0;

void AddRecord(const char* name, const char* description, int outSize, short outFormat,
               short inFormat, int access) {
  PropertyQueryRecord& r = records[recordCount++];
  memset(&r, 0, sizeof r);
  strncpy(r.name, name, sizeof r.name - 1);
  strncpy(r.description, description, sizeof r.description - 1);
  r.outSize = outSize;
  r.inSize = inFormat == ORNA_FMT_NULL ? 0 : 1;
  r.outFormat = uint8_t(outFormat & 0xff);
  r.inFormat = uint8_t(inFormat & 0xff);
  r.access = uint8_t(access);
  r.outRows = r.inRows = 1;
}

// Devices are selected as many modules select them: by the beginning of the name,
// letters in any case ("dev" and "DEVICE" select Dev, "other2" Other); other names
// select none.
int Query(const char* device, PropertyQueryRecord** first) {
  if (strncasecmp(device, "Other", 5) == 0) {
    *first = records + 2;  // a device with fewer properties
    return 1;
  }
  if (strncasecmp(device, "Dev", 3) != 0) return 0;
  *first = records;
  return recordCount;
}

void Init() {
  AddRecord("Double", "a double", 1, ORNA_FMT_DOUBLE, ORNA_FMT_NULL, 1);
  AddRecord("Int", "an int", 1, ORNA_FMT_INT32, ORNA_FMT_INT32, 3);
  AddRecord("Text", "a text", 64, ORNA_FMT_TEXT, ORNA_FMT_NULL, 1);
  AddRecord("Frame", "the frame", frameBytes, ORNA_FMT_IMAGE, ORNA_FMT_NULL, 1);
  AddRecord("Frame.Sched", "the frame once", frameBytes, ORNA_FMT_IMAGE, ORNA_FMT_NULL, 1);
  AddRecord("Numbers.Sched", "the frame's number", 4, ORNA_FMT_INT32, ORNA_FMT_NULL, 1);
  if (RegisterXPropertyQueryFunction(kModule, Query, queryMax) != 0) exit(4);
  if (RegisterDeviceName(kModule, "Dev", 0) != 0 || RegisterDeviceName(kModule, "Other", 1) != 0) exit(5);
  if (RegisterPropertyEx(kModule, "Double", 1, ORNA_FMT_DOUBLE, 1, "a double", 1) <= 0) exit(6);
}

void Background() { ++backgroundRuns; }

// Runs on SRVEXIT: the frame thread must not call the library while the process ends.
void Exit() {
  {
    std::lock_guard<std::mutex> lock(frames.mutex);
    frames.stop = true;
  }
  frames.stopped.notify_all();
  if (frameThread.joinable()) frameThread.join();
  printf("exit function\n");
  fflush(stdout);
}

void FillFrame(std::vector<uint8_t>& s, uint32_t n) {
  memcpy(s.data(), "QDR3", 4);
  memcpy(s.data() + 136, &n, 4);
  uint32_t length = (uint32_t)frameBytes;
  memcpy(s.data() + 184, &length, 4);
  memcpy(s.data() + 188, &length, 4);
  uint32_t lowAddress = (uint32_t)(uintptr_t)(s.data() + ORNA_FRAME_PREFIX_SIZE);
  memcpy(s.data() + ORNA_FRAME_PIXEL_ADDRESS_OFFSET, &lowAddress, 4);
  for (int i = 0; i < frameBytes; ++i) s[ORNA_FRAME_PREFIX_SIZE + i] = uint8_t(n + i);
}

// Makes frame N in a free slot and schedules it, HZ times a second, until Exit.
void MakeFrames(double hz) {
  auto period = std::chrono::microseconds((long)(1e6 / hz));
  for (uint32_t n = 1;; ++n) {
    int slot = 0;
    {
      std::lock_guard<std::mutex> lock(frames.mutex);
      if (frames.stop) return;
      while (slot < 4 && (slot == frames.current || slot == frames.lastServed || slot == frames.lent))
        ++slot;
    }
    if (slot == 4) slot = -1;  // a loan outstanding beside two served slots: skip this frame
    if (slot >= 0) FillFrame(frames.slots[slot], n);
    if (slot >= 0) {
      {
        std::lock_guard<std::mutex> lock(frames.mutex);
        frames.current = slot;
        frames.number = n;
        frames.sent = false;
      }
      _SystemScheduleProperty(kModule, "Frame.Sched");
      _SystemScheduleProperty(kModule, "Numbers.Sched");
    }
    std::unique_lock<std::mutex> lock(frames.mutex);
    if (frames.stopped.wait_for(lock, period, [] { return frames.stop; })) return;
  }
}

const char* Arg(int argc, char** argv, const char* name, const char* fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (strcmp(argv[i], name) == 0) return argv[i + 1];
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const char* context = Arg(argc, argv, "--context", "TEST");
  const char* server = Arg(argc, argv, "--server", "ORNATEST");
  int portOffset = atoi(Arg(argc, argv, "--port-offset", "0"));
  gAllowRemoteExit = atoi(Arg(argc, argv, "--allow-exit", "1"));
  MaxNumContracts = atoi(Arg(argc, argv, "--max-contracts", "1000"));
  MinPollingRate = (int16_t)atoi(Arg(argc, argv, "--min-polling", "50"));
  frameBytes = atoi(Arg(argc, argv, "--frame-bytes", "1024"));
  double hz = atof(Arg(argc, argv, "--frame-hz", "0"));
  int backgroundMs = atoi(Arg(argc, argv, "--background-ms", "1000"));
  setWorkAreaSize(atoi(Arg(argc, argv, "--work-area", "6301456")));
  queryMax = atoi(Arg(argc, argv, "--query-max", "8"));
  slowMs = atoi(Arg(argc, argv, "--slow-ms", "300"));
  SetAppVersion(1, 2, 3);
  SetAppDate(parseCDateAndTimeStr("Dec  2 2008", "11:18:08"));
  SetUseLoopback(1);
  SetPacketMTU(64000);
  _SystemAssignBufferSpace(524288, 64000);

  int r = RegisterFecInformation("TESTFEC", "SUB", context, "test module", "here", "none",
                                 "nobody", portOffset);
  if (r != 0) {
    printf("fec error: %s\n", erlst[r]);
    return 2;
  }
  r = _SystemInit(1);
  if (r != 0) {
    printf("init error: %s\n", erlst[r]);
    return 1;
  }
  r = RegisterEquipmentModule(server, kModule, 2, Equipment, Init, Background, backgroundMs, Exit);
  if (r != 0) {
    printf("module error: %s\n", erlst[r]);
    return 3;
  }
  printf("serving\n");
  fflush(stdout);
  if (hz > 0) {
    for (std::vector<uint8_t>& slot : frames.slots) slot.assign(ORNA_FRAME_PREFIX_SIZE + frameBytes, 0);
    frameThread = std::thread(MakeFrames, hz);
  }
  for (;;) _SystemCycle(1);
}
