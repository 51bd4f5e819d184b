// `ornactl read` and `ornactl write`: one call, one line.
#include <string>

#include "orna/orna_api.h"
#include "tools/ornactl/command_support.h"
#include "tools/ornactl/commands.h"
#include "tools/ornactl/value_encoding.h"

namespace ornactl {
namespace {

int CallAndPrint(const CallOptions& options, const OrnaRequest& request) {
  OrnaReply reply;
  OrnaCall(options.address.c_str(), options.property.c_str(), request, &reply,
           options.timeoutMs);
  PrintLine(ReplyLine(ToReplyData(reply, false), options.json));
  return reply.result == 0 ? kExitOk : kExitFailed;
}

}  // namespace

int RunRead(const CallOptions& options) {
  short format = 0;
  if (int status = CheckCallOptions(options, ORNA_FMT_INT32, &format); status != kExitOk) {
    return status;
  }
  const OutputChoice output = ResolveOutput(options, format);
  OrnaRequest request;
  request.outFormat = output.format;
  request.outCount = output.count;
  request.access = ORNA_ACCESS_READ;
  return CallAndPrint(options, request);
}

int RunWrite(const WriteOptions& options) {
  short format = 0;
  if (int status = CheckCallOptions(options.call, ORNA_FMT_INT32, &format);
      status != kExitOk) {
    return status;
  }
  EncodedValue value;
  std::string error;
  if (!EncodeValue(format, options.value, &value, &error)) return UsageError(error);

  OrnaRequest request;
  request.inFormat = format;
  request.inCount = value.count;
  request.inBytes = std::move(value.bytes);
  request.access = ORNA_ACCESS_WRITE;
  if (options.alsoRead) {
    // --format names the input here; the output is the property's own, as for read.
    CallOptions readOptions = options.call;
    readOptions.formatGiven = false;
    readOptions.countGiven = false;
    const OutputChoice output = ResolveOutput(readOptions, ORNA_FMT_INT32);
    request.outFormat = output.format;
    request.outCount = output.count;
    request.access = ORNA_ACCESS_READ | ORNA_ACCESS_WRITE;
  }
  return CallAndPrint(options.call, request);
}

}  // namespace ornactl
