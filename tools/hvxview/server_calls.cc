#include "tools/hvxview/server_calls.h"

bool ReadServerValue(const std::string& deviceAddress, const char* property, short format,
                     int32_t count, OrnaReply* reply, std::string* error) {
  OrnaRequest request;
  request.outFormat = format;
  request.outCount = count;
  const int result =
      OrnaCall(deviceAddress.c_str(), property, request, reply, kServerCallTimeoutMs);
  const size_t need =
      static_cast<size_t>(OrnaElementSize(format) > 0 ? OrnaElementSize(format) : 1);
  if (result != 0 || reply->bytes == nullptr || reply->size < need) {
    *error = deviceAddress + " " + property + ": " +
             (result == 0 ? std::string("short answer")
                          : std::to_string(result) + " " +
                                (reply->text.empty() ? OrnaErrorText(result) : reply->text));
    return false;
  }
  return true;
}

int WriteServerInt32(const std::string& deviceAddress, const char* property, int32_t value,
                     int timeoutMs, std::string* text) {
  OrnaRequest request;
  request.access = ORNA_ACCESS_WRITE;
  request.inFormat = ORNA_FMT_INT32;
  request.inCount = 1;
  // The library's element layout: little-endian.
  const uint32_t bits = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) request.inBytes += static_cast<char>((bits >> (8 * i)) & 0xff);
  OrnaReply reply;
  const int result = OrnaCall(deviceAddress.c_str(), property, request, &reply, timeoutMs);
  *text = reply.text.empty() && result != 0 ? OrnaErrorText(result) : reply.text;
  return result;
}
