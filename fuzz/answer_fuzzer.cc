// Fuzz target: answers and deliveries as ornactl receives them. Each input carries
// messages (message_parts.h); each is checked as the library's client checks what
// arrives (one or two parts, a reply header of the protocol), taken into a reply as
// the client takes it, and turned into the lines ornactl prints, readable and JSON,
// as an answer and as a delivery, with the frame check monitor --save-png makes.
#include <cstdint>
#include <string>

#include "fuzz/message_parts.h"
#include "fuzz/parts_of.h"
#include "orna/client_link.h"
#include "orna/orna_client.h"
#include "orna/wire.h"
#include "tools/common/frame_header_view.h"
#include "tools/common/reply_values.h"
#include "tools/ornactl/command_support.h"
#include "tools/ornactl/reply_line.h"

namespace {

// Keeps the lines from being left out by the optimiser.
volatile size_t gSink;

void Show(const OrnaReply& reply, bool isDelivery) {
  tools_common::ReplyData data = ornactl::ToReplyData(reply, isDelivery);
  size_t length = ornactl::ReplyLine(data, false).size() + ornactl::ReplyLine(data, true).size();
  length += tools_common::ReplyDataProblem(data).size();
  if (reply.result == 0 && reply.format == ORNA_FMT_IMAGE) {
    tools_common::FrameView view = tools_common::InspectFrame(data.bytes, data.size, reply.count);
    length += view.pixelBytes + view.problem.size();
  }
  gSink = length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const FuzzMessage& message : SplitFuzzMessages(data, size)) {
    OrnaParts parts;
    FillParts(nullptr, message, &parts);
    orna_wire::ReplyHeader header;
    if (parts.count < 1 || parts.count > 2 || parts.overflow ||
        !orna_wire::DecodeReply(parts.part[0].data(), parts.part[0].size(), &header))
      continue;
    OrnaReply reply;
    OrnaTakeAnswer(header, parts, &reply);
    Show(reply, header.kind == orna_wire::kDelivery);
  }
  return 0;
}
