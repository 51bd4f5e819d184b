// The library's error texts, one 32-character entry per result code.
#include <cstring>

#include "orna/orna_api.h"
#include "orna/orna_client.h"

namespace {

struct ErrorTable {
  char text[ORNA_ERRLST_SIZE][ORNA_ERRLST_WIDTH];
};

constexpr void Put(ErrorTable& table, int code, const char* text) {
  int i = 0;
  for (; text[i] != '\0' && i < ORNA_ERRLST_WIDTH - 1; ++i) table.text[code][i] = text[i];
  for (; i < ORNA_ERRLST_WIDTH; ++i) table.text[code][i] = '\0';
}

constexpr ErrorTable BuildTable() {
  ErrorTable table{};
  for (int code = 0; code < ORNA_ERRLST_SIZE; ++code) Put(table, code, "unknown error");
  Put(table, ORNA_OK, "success");
  Put(table, ORNA_OPERATION_FAILED, "operation failed");
  Put(table, ORNA_ILLEGAL_FORMAT, "illegal format");
  Put(table, ORNA_INVALID_ARGUMENT, "invalid argument");
  Put(table, ORNA_DIMENSION_ERROR, "dimension error");
  Put(table, ORNA_ILLEGAL_PROPERTY, "illegal property");
  Put(table, ORNA_ILLEGAL_DEVICE, "illegal device");
  Put(table, ORNA_TOO_MANY_CONTRACTS, "too many contracts");
  Put(table, ORNA_OUT_OF_MEMORY, "out of memory");
  Put(table, ORNA_WORK_AREA_TOO_SMALL, "work area too small");
  Put(table, ORNA_MALFORMED_REQUEST, "malformed request");
  Put(table, ORNA_NOT_REGISTERED, "not registered");
  Put(table, ORNA_ALREADY_REGISTERED, "already registered");
  Put(table, ORNA_ADDRESS_IN_USE, "server port already in use");
  Put(table, ORNA_SOCKET_ERROR, "socket error");
  Put(table, ORNA_NAMES_ERROR, "names directory not writable");
  Put(table, ORNA_NAME_TAKEN, "server name taken");
  Put(table, ORNA_ILLEGAL_READ_WRITE, "illegal read-write access");
  Put(table, ORNA_REMOTE_EXIT_REFUSED, "remote exit not allowed");
  Put(table, ORNA_NOT_INITIALIZED, "server not initialized");
  Put(table, ORNA_CONNECTION_TIMEOUT, "connection timeout");
  Put(table, ORNA_SEMAPHORE_ERROR, "server lock failed");
  return table;
}

constexpr ErrorTable kErrorTable = BuildTable();

}  // namespace

const char (&erlst)[ORNA_ERRLST_SIZE][ORNA_ERRLST_WIDTH] = kErrorTable.text;

const char* OrnaErrorText(int code) {
  if (code < 0 || code >= ORNA_ERRLST_SIZE) return "unknown error";
  return erlst[code];
}
