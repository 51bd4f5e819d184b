// The operations, variables and types of the ORNA control-system library that the
// server uses. The server sees the library only through this header; the real build
// links the stand-in in orna/, the unit tests link a recording fake of the same names.
//
// Threading: everything here is for the main thread unless its comment says otherwise.
// _SystemScheduleProperty, makeDataTimeStamp, feclog and ExecLinkEx may be called from
// any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

// ---- Format codes of a DataObject -------------------------------------------------
enum : short {
  ORNA_FMT_DOUBLE = 512,  // 64-bit floating-point numbers
  ORNA_FMT_BYTE = 514,    // bytes
  ORNA_FMT_INT32 = 515,   // 32-bit signed integers
  ORNA_FMT_TEXT = 516,    // text; the count is the buffer length in characters
  ORNA_FMT_FLOAT = 517,   // 32-bit floating-point numbers
  ORNA_FMT_NAME48 = 531,  // texts in fixed fields of 48 characters
  ORNA_FMT_IMAGE = 567,   // a frame: 196-byte prefix, then the pixel bytes; count = pixel bytes
  ORNA_FMT_NULL = 767,    // no data (input format of properties that take no input)
};

// ---- Result codes -------------------------------------------------------------------
// 0 is success everywhere. Codes up to 512 are the library's and have a text in erlst;
// codes above 512 are completion codes whose text the equipment module sets with
// SetEqmCompletion.
enum : int {
  ORNA_OK = 0,
  ORNA_OPERATION_FAILED = 1,      // unspecified failure
  ORNA_ILLEGAL_FORMAT = 2,        // no output object, or a format the property can't deliver
  ORNA_INVALID_ARGUMENT = 13,     // a null pointer, an empty or overlong name, a bad number
  ORNA_DIMENSION_ERROR = 23,      // element count 0, too small, or not the one required
  ORNA_ILLEGAL_PROPERTY = 36,     // no such property
  ORNA_ILLEGAL_DEVICE = 40,       // no such device (listings)
  ORNA_TOO_MANY_CONTRACTS = 45,   // MaxNumContracts reached
  ORNA_OUT_OF_MEMORY = 51,
  ORNA_WORK_AREA_TOO_SMALL = 52,  // the output would exceed setWorkAreaSize
  ORNA_MALFORMED_REQUEST = 59,    // a message that does not follow the protocol
  ORNA_NOT_REGISTERED = 61,       // front end or module not registered (yet)
  ORNA_ALREADY_REGISTERED = 62,
  ORNA_ADDRESS_IN_USE = 63,       // the server port is taken by another process
  ORNA_SOCKET_ERROR = 64,         // the transport could not be set up
  ORNA_NAMES_ERROR = 66,          // the names directory could not be written
  ORNA_NAME_TAKEN = 67,           // a live server of another process holds the name in etcd
  ORNA_ILLEGAL_READ_WRITE = 73,   // access not allowed
  ORNA_REMOTE_EXIT_REFUSED = 74,  // SRVEXIT while gAllowRemoteExit is 0
  ORNA_NOT_INITIALIZED = 75,      // server side used before _SystemInit
  ORNA_CONNECTION_TIMEOUT = 98,   // server not resolved or no answer within the time-out
  // A completion code with a meaning for the library: a scheduled read answered so has
  // nothing new (the frame was already sent), and nothing is sent to the subscribers.
  ORNA_SCHEDULED_ALREADY_SENT = 516,
  ORNA_SEMAPHORE_ERROR = 555,     // the equipment module could not take its lock
};

// Width of one entry of erlst, and the number of entries.
enum : int { ORNA_ERRLST_WIDTH = 32, ORNA_ERRLST_SIZE = 1024 };

// The library's error texts, indexed by result code (0 to ORNA_ERRLST_SIZE - 1); each
// entry is a zero-terminated text of at most 31 characters. Codes without a text of
// their own read "unknown error".
extern const char (&erlst)[ORNA_ERRLST_SIZE][ORNA_ERRLST_WIDTH];

// ---- Data object ------------------------------------------------------------------
// One output or input of a property call. The field order and the offsets of count,
// format, stamp and data are those of the library's layout; on a 64-bit build the
// offsets are the same (0, 4, 16, 40) because data is 8-aligned at 40. `pixels` is
// an addition of this library: see ORNA_FMT_IMAGE below.
struct DataObject {
  int32_t count;         // 0: number of elements the buffer holds / were delivered
  int16_t format;        // 4: ORNA_FMT_*
  int16_t reserved6;     // 6
  int32_t reserved8;     // 8
  int32_t reserved12;    // 12
  double stamp;          // 16: data time stamp, seconds since 1970 UTC
  char tag[16];          // 24: name of the data; not used by the server
  void* data;            // 40: the elements
  // Frames (ORNA_FMT_IMAGE): the 196-byte prefix in `data` carries the pixel address
  // as a 4-byte word at offset 192, which can't hold an address of a 64-bit process.
  // The frame handler therefore also stores the pixel address here; the library takes
  // the pixels from `pixels` when it is set and falls back to the word at 192 only in
  // a 32-bit build. On the client side the library sets it to data + 196.
  void* pixels;
  // Frames lent rather than copied: when the module sets releasePixels, the pixels
  // stay valid (the module keeps them from being overwritten) until the library calls
  // releasePixels(releaseContext). The library calls it exactly once, on the main
  // thread, as soon as it has copied the pixels into the message for the clients, or
  // at once when it will not copy them (no client can take the answer, the call
  // failed); always before it calls the equipment function again. Null: the pixels
  // are valid until the module's next call, as without lending.
  void (*releasePixels)(void* context);
  void* releaseContext;
};
static_assert(offsetof(DataObject, count) == 0);
static_assert(offsetof(DataObject, format) == 4);
static_assert(offsetof(DataObject, stamp) == 16);
static_assert(offsetof(DataObject, data) == 40);

// Size of the prefix of a frame value: 188-byte header, pixel count, pixel address.
enum : int { ORNA_FRAME_PREFIX_SIZE = 196, ORNA_FRAME_PIXEL_ADDRESS_OFFSET = 192 };

// ---- Property query record ----------------------------------------------------------
// 224 bytes per property, through which a module's query function tells the library
// the properties of a device. The library reads name, description, the two sizes,
// the low bytes of the formats (format = 512 + low byte) and the access; the other
// fields are carried as the module fills them.
struct PropertyQueryRecord {
  char name[32];            // 0
  char description[64];     // 32
  char units[32];           // 96
  int32_t numbers[10];      // 128
  int32_t outSize;          // 168
  int32_t inSize;           // 172
  int32_t reserved176;      // 176
  int16_t reserved180;      // 180
  int16_t reserved182;      // 182
  uint8_t outFormat;        // 184: low byte of the output format
  uint8_t inFormat;         // 185: low byte of the input format
  uint8_t access;           // 186: 1 read, 2 write, 3 both
  uint8_t reserved187;      // 187
  uint8_t reserved188[16];  // 188
  int32_t reserved204;      // 204
  int32_t reserved208;      // 208
  int16_t outRows;          // 212
  int16_t inRows;           // 214
  int16_t reserved216;      // 216
  uint8_t reserved218[6];   // 218
};
static_assert(sizeof(PropertyQueryRecord) == 224);
static_assert(offsetof(PropertyQueryRecord, outSize) == 168);
static_assert(offsetof(PropertyQueryRecord, outFormat) == 184);
static_assert(offsetof(PropertyQueryRecord, reserved204) == 204);
static_assert(offsetof(PropertyQueryRecord, outRows) == 212);

// ---- Callbacks of an equipment module ---------------------------------------------
// Access bits of a property call.
enum : short { ORNA_ACCESS_READ = 1, ORNA_ACCESS_WRITE = 2 };

// Called on the main thread, inside _SystemCycle, for every property call and every
// scheduled or periodic read of a contract. dout is null when the caller wants no
// output, din is null when it gives no input. Answers 0 or a result code.
typedef int (*OrnaEquipmentFunction)(const char* device, const char* property,
                                     DataObject* dout, DataObject* din, short access);
typedef void (*OrnaInitFunction)(void);
typedef void (*OrnaBackgroundFunction)(void);
typedef void (*OrnaExitFunction)(void);
// Stores the address of the device's first record in *records and answers how many
// there are.
typedef int (*OrnaQueryFunction)(const char* device, PropertyQueryRecord** records);

// ---- Engine, identity and tuning ------------------------------------------------------
// Build date and time ("Dec  2 2008", "11:18:08") as calendar time, local time zone;
// -1 when either text is not of that form.
time_t parseCDateAndTimeStr(const char* date, const char* time);
int SetAppDate(time_t buildTime);
int SetAppVersion(int major, int minor, int build);

extern int32_t ornaDebug;         // > 0: every request is written to the library log
extern int32_t gAllowRemoteExit;  // 1: SRVEXIT ends the server
extern int32_t MaxNumContracts;   // most contracts (distinct subscriptions) served
extern int16_t MinPollingRate;    // shortest contract interval in milliseconds
// Most lines kept in the library log file. feclog reads it on any thread, atomically:
// set it with an atomic store (std::atomic_ref) once other threads may log.
extern int32_t FeclogDepth;

int SetBurstLimit(int requests);        // most requests served in one cycle
int SetCycleDelay(int milliseconds);    // pause after each cycle
int SetUseLoopback(int on);             // 1: serve on the loopback interface only
int setWorkAreaSize(int bytes);         // largest output a call may produce
int SetPacketMTU(int bytes);            // largest request message accepted
// Per-client queue space: each client's send and receive queue holds
// totalBytes / packetBytes messages (at least 2).
int _SystemAssignBufferSpace(int totalBytes, int packetBytes);

// The port offset as the settings write it, for the library's message when it refuses
// the offset: a number beyond 32 bits reaches RegisterFecInformation as the nearest int,
// and the message should quote what the user wrote. Null or empty: the number passed
// is quoted. Set before RegisterFecInformation; the text must outlive the call.
extern const char* gPortOffsetText;

// Refuses a port offset that puts the port outside 1-65535 (ORNA_INVALID_ARGUMENT) and
// says why on standard error.
int RegisterFecInformation(const char* name, const char* subsystem, const char* context,
                           const char* description, const char* location,
                           const char* hardware, const char* responsible, int portOffset);
// Binds the server socket on the base port + port offset. Needs RegisterFecInformation
// first. Answers 0 or a code whose text is erlst[code].
int _SystemInit(int argument);
// One server cycle: waits (bounded) for work when wait is not 0, then serves requests,
// scheduled properties, contract timers and the background task. Answers 0.
int _SystemCycle(int wait);

// ---- Equipment module -----------------------------------------------------------------
// Records the module, calls initFunction once before it returns, and then publishes
// the server in the names directory.
int RegisterEquipmentModule(const char* serverName, const char* moduleName, int deviceCount,
                            OrnaEquipmentFunction equipmentFunction,
                            OrnaInitFunction initFunction,
                            OrnaBackgroundFunction backgroundFunction, int intervalMs,
                            OrnaExitFunction exitFunction);
// maxRecords: the most records the library reads from one answer of the function.
int RegisterXPropertyQueryFunction(const char* moduleName, OrnaQueryFunction function,
                                   int maxRecords);
int RegisterDeviceName(const char* moduleName, const char* deviceName, int number);
// Answers a positive number on success, else the negated error code.
int RegisterPropertyEx(const char* moduleName, const char* property, int outSize,
                       short outFormat, unsigned char access, const char* description,
                       int id);
// The completion text of the call being served; sent to the client with results > 512.
int SetEqmCompletion(const char* moduleName, const char* text);
// Any thread: asks the next cycle to read the property's contracts and push the
// results to their subscribers.
int _SystemScheduleProperty(const char* moduleName, const char* property);

// ---- Data helpers ---------------------------------------------------------------------
// Converts the first n elements of din (any numeric format, or text holding a number)
// to 32-bit integers. 0 on success.
int getValuesAsLong(const DataObject* din, int32_t* values, int n);
// Seconds since 1970 UTC, millisecond resolution.
double makeDataTimeStamp(void);

// ---- Remote calls -----------------------------------------------------------------------
// Calls PROPERTY of the device at ADDRESS ("/context/server/device") and waits for the
// answer at most timeoutMs. dout may be null (no output wanted), din may be null (no
// input). On return dout->count holds the number of elements received. For
// ORNA_FMT_IMAGE, dout->data must hold 196 + dout->count bytes: the prefix, then the
// pixels. Answers the server's result, or ORNA_CONNECTION_TIMEOUT (98) when the server
// can't be resolved or doesn't answer in time. Works before _SystemInit.
int ExecLinkEx(const char* address, const char* property, DataObject* dout, DataObject* din,
               short access, int timeoutMs);

// ---- Log ------------------------------------------------------------------------------
// Appends one line to the library log beside the executable; keeps at most FeclogDepth
// lines. Any thread.
int feclog(const char* format, ...) __attribute__((format(printf, 1, 2)));
