#include "tools/ornactl/command_support.h"

#include <cstdio>
#include <vector>

#include "platform/stop_request.h"
#include "tools/common/addresses.h"
#include "tools/ornactl/format_names.h"

namespace ornactl {

using tools_common::IsDeviceAddress;
using tools_common::ReplyData;

void CatchStopRequests() {
  const uint32_t events = SysConsoleEventBit(kCtrlCEvent) | SysConsoleEventBit(kCtrlBreakEvent) |
                          SysConsoleEventBit(kCtrlCloseEvent) |
                          SysConsoleEventBit(kCtrlShutdownEvent);
  if (!SysCatchStopRequests(events)) {
    std::fprintf(stderr, "ornactl: can't catch interrupts; one ends ornactl at once\n");
  }
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "ornactl: %s\n", message.c_str());
  return kExitUsage;
}

bool PrintLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

int CheckCallOptions(const CallOptions& options, short fallback, short* format) {
  if (!IsDeviceAddress(options.address)) {
    return UsageError("address \"" + options.address + "\" is not /CONTEXT/SERVER/DEVICE");
  }
  if (options.property.empty()) return UsageError("the property name is empty");
  *format = fallback;
  if (options.formatGiven && !ParseFormat(options.format, format)) {
    return UsageError("unknown format \"" + options.format + "\"; use one of " +
                      FormatChoices());
  }
  if (options.countGiven && options.count < 1) {
    return UsageError("--count must be at least 1");
  }
  if (options.timeoutMs < 0) return UsageError("--timeout must not be negative");
  return kExitOk;
}

OutputChoice ResolveOutput(const CallOptions& options, short givenFormat) {
  ListedOutput listed;
  bool found = false;
  if (NeedsListing(options.formatGiven, options.countGiven)) {
    std::vector<OrnaPropertyInfo> properties;
    if (OrnaListProperties(options.address.c_str(), &properties, options.timeoutMs) == 0) {
      // Matched exactly, as the server matches the property of a call.
      for (const OrnaPropertyInfo& p : properties) {
        if (p.name == options.property) {
          listed.format = p.outFormat;
          listed.size = p.outSize;
          found = true;
          break;
        }
      }
    }
  }
  return ChooseOutput(options.formatGiven, givenFormat, options.countGiven, options.count,
                      found ? &listed : nullptr);
}

ReplyData ToReplyData(const OrnaReply& reply, bool isDelivery) {
  ReplyData data;
  data.result = reply.result;
  data.text = reply.text;
  if (data.result != 0 && data.text.empty()) data.text = OrnaErrorText(data.result);
  data.format = reply.format;
  data.count = reply.count;
  data.stamp = reply.stamp;
  data.isDelivery = isDelivery;
  data.sequence = reply.sequence;
  data.sharedMemory = reply.sharedMemory;
  data.bytes = reply.bytes;
  data.size = reply.bytes != nullptr ? reply.size : 0;
  return data;
}

std::string ReplyLine(const ReplyData& reply, bool json) {
  return json ? JsonReplyLine(reply) : HumanReplyLine(reply);
}

}  // namespace ornactl
